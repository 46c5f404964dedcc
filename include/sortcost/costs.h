// SPDX-License-Identifier: MIT
// sortcost for C++: the C interface of sortcost/sortcost.h in namespace
// sortcost, and the list of benchmark programs.
//
// Every cost is exactly the number the program prints as "[COST] N" for a
// file holding the same bytes; any number of threads may ask at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sortcost/sortcost.h"

namespace sortcost {

// The cost each program reports for an input of `size` bytes at `data`; 0,
// with errno set, when it cannot be computed (see sortcost/sortcost.h).
inline std::uint64_t qsort_words_cost(const unsigned char* data, std::size_t size) {
    return sortcost_qsort_words_cost(data, size);
}
inline std::uint64_t qsort_bytes_cost(const unsigned char* data, std::size_t size) {
    return sortcost_qsort_bytes_cost(data, size);
}
inline std::uint64_t isort_words_cost(const unsigned char* data, std::size_t size) {
    return sortcost_isort_words_cost(data, size);
}

// The cost every program reports when it cannot read its input file.
inline constexpr std::uint64_t unreadable_cost = 2;

// One benchmark program: its name as a user types it, the size of the
// elements it sorts, and its cost for an input's bytes.
struct program_info {
    const char* name;
    std::size_t element_size;
    std::uint64_t (*cost)(const void* data, std::size_t size);
};

// The three programs, in the order the tools list them.
inline constexpr program_info programs[] = {
    {"isort_words", 4, sortcost_isort_words_cost},
    {"qsort_words", 4, sortcost_qsort_words_cost},
    {"qsort_bytes", 1, sortcost_qsort_bytes_cost},
};
inline constexpr std::size_t program_count = sizeof programs / sizeof programs[0];

// The program called `name`, or null for no such program.
inline const program_info* find_program(const char* name) {
    for (const program_info& p : programs)
        if (std::strcmp(p.name, name) == 0) return &p;
    return nullptr;
}

}  // namespace sortcost

// The names of sortcost 0.1, kept so that code written against it builds.
using sortcost::isort_words_cost;
using sortcost::qsort_bytes_cost;
using sortcost::qsort_words_cost;
inline constexpr std::uint64_t sortcost_unreadable_cost = sortcost::unreadable_cost;
