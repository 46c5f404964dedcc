// SPDX-License-Identifier: MIT
// Prints the cost each benchmark program reports for a file, with the
// installed library alone: `consumer FILE`.
#include <sortcost/costs.h>

#include <cstdio>
#include <cstdlib>

// A name of the caller's own that the library must leave free.
static const char* qsort_words_cost() { return "the caller's own"; }

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Usage: %s FILE\n", argv[0]);
        return 2;
    }
    unsigned char* data = nullptr;
    const char* step = nullptr;
    std::int64_t size = sortcost_read_input(argv[1], &data, &step);
    auto n = static_cast<std::size_t>(size < 0 ? 0 : size);
    // Every program's cost, as the list of programs gives them.
    for (const sortcost::program_info& p : sortcost::programs)
        std::printf("%s %llu\n", p.name, static_cast<unsigned long long>(size < 0 ? sortcost::unreadable_cost : p.cost(data, n)));
    std::free(data);
    return qsort_words_cost()[0] == 't' ? 0 : 1;
}
