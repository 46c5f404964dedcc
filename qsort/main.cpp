// SPDX-License-Identifier: MIT
// qsort_words / qsort_bytes: quicksorts the input file as 4-byte words or as
// single bytes (QSORT_KIND, fixed at build time) and reports the cost at exit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "Hooks.h"
#include "driver.h"
#include "ioutil.h"

#define SORTCOST_STR2(x) #x
#define SORTCOST_STR(x) SORTCOST_STR2(x)

int main(int argc, char** argv) {
    std::atexit(exit_print_hook);
    sortcost::cost_inc();
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s <input file>\n",
                     argc > 0 && argv[0] ? argv[0] : "qsort_" SORTCOST_STR(QSORT_KIND));
        return 0;
    }
    unsigned char* src = nullptr;
    std::int64_t size = read_file(argv[1], &src);
    if (size < 0) return 0;
    test_qsort(src, static_cast<std::uint64_t>(size));
    std::free(src);
    return 0;
}
