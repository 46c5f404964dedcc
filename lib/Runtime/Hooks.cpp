#include "Hooks.h"

#include <cstdio>
#include <cstdlib>

namespace hooks_internal {
std::uint64_t counter = 0;
}

std::uint64_t cost_read() { return hooks_internal::counter; }

void exit_print_hook() {
    if (std::printf("[COST] %lu\n", static_cast<unsigned long>(hooks_internal::counter)) >= 0 &&
        std::fflush(stdout) == 0)
        return;
    // The report is the program's only product: losing it is a failure, not
    // a success with nothing to show. The process is already exiting, so end
    // it here with the failure status.
    std::perror("report");
    std::_Exit(1);
}
