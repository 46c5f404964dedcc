// SPDX-License-Identifier: MIT
// Code written against sortcost 0.1's global names still builds with
// SORTCOST_0_1_NAMES, and prints what `consumer FILE` prints.
#define SORTCOST_0_1_NAMES
#include <sortcost/costs.h>

#include <cstdio>
#include <cstdlib>

#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    unsigned char* data = nullptr;
    const char* step = nullptr;
    std::int64_t size = sortcost_read_input(argv[1], &data, &step);
    auto n = static_cast<std::size_t>(size < 0 ? 0 : size);
    auto cost = [&](std::uint64_t (*f)(const unsigned char*, std::size_t)) {
        return static_cast<unsigned long long>(size < 0 ? sortcost_unreadable_cost : f(data, n));
    };
    std::printf("isort_words %llu\nqsort_words %llu\nqsort_bytes %llu\n", cost(isort_words_cost),
                cost(qsort_words_cost), cost(qsort_bytes_cost));
    std::free(data);
    return 0;
}
