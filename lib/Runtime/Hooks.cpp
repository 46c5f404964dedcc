// SPDX-License-Identifier: MIT
#include "Hooks.h"

namespace sortcost {

namespace hooks_internal {
thread_local constinit std::uint64_t counter = 0;
}

std::uint64_t cost_read() { return hooks_internal::counter; }

}  // namespace sortcost
