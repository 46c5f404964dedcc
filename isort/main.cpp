// SPDX-License-Identifier: MIT
// isort_words: insertion-sorts the input file as unsigned 4-byte words and
// reports the cost at exit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "Hooks.h"
#include "ioutil.h"
#include "isort.h"

int main(int argc, char** argv) {
    std::atexit(exit_print_hook);
    sortcost::cost_inc();
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s <input file>\n", argc > 0 && argv[0] ? argv[0] : "isort_words");
        return 0;
    }
    unsigned char* src = nullptr;
    std::int64_t size = read_file(argv[1], &src);
    if (!src || size < 0) {
        std::perror("readfile");
        return -1;
    }
    int status = isort_copy(src, static_cast<std::uint64_t>(size));
    std::free(src);
    return status;
}
