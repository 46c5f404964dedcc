// SPDX-License-Identifier: MIT
// sortcost for C++: the C interface of sortcost/sortcost.h in namespace
// sortcost, and the list of benchmark programs with what each one is.
//
// Every cost is exactly the number the program prints as "[COST] N" for a
// file holding the same bytes; any number of threads may ask at once.
// Every name here lives in namespace sortcost.
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

// The steps every program takes for a file it cannot read (an empty one
// included): main's entry step and the reader's.
inline constexpr std::uint64_t unreadable_cost = 2;

// The steps a program takes before its sort is entered: main's and the
// reader's, and for the quicksorts test_qsort's, which makes the copy.
inline constexpr std::uint64_t isort_steps_before_sort = 2;
inline constexpr std::uint64_t quicksort_steps_before_sort = 3;

// Which sort a program measures.
enum class sort_kind : unsigned char {
    insertion,  // insertion by adjacent exchanges (isort_words)
    quicksort,  // median-of-three quicksort and a final insertion pass
};

// How a program orders two elements x and y.
enum class element_order : unsigned char {
    unsigned_bytes,        // bytes as the numbers 0 to 255
    unsigned_words,        // little-endian words as the numbers 0 to 2^32 - 1
    wrapped_signed_words,  // little-endian words: x before y when x - y, wrapped
                           // to 32 bits and read as signed, is negative. Not a
                           // consistent order: 0 < 1 < 2^31 < 0.
};

// One benchmark program: its name as a user types it, the size of the
// elements it sorts (trailing bytes of a file are ignored), its cost for an
// input's bytes, and what it measures.
struct program_info {
    const char* name;
    std::size_t element_size;
    std::uint64_t (*cost)(const void* data, std::size_t size);
    sort_kind sort;
    element_order order;
    std::uint64_t steps_before_sort;
};

// The three programs, in the order the tools list them.
inline constexpr program_info programs[] = {
    {"isort_words", 4, sortcost_isort_words_cost, sort_kind::insertion, element_order::unsigned_words,
     isort_steps_before_sort},
    {"qsort_words", 4, sortcost_qsort_words_cost, sort_kind::quicksort, element_order::wrapped_signed_words,
     quicksort_steps_before_sort},
    {"qsort_bytes", 1, sortcost_qsort_bytes_cost, sort_kind::quicksort, element_order::unsigned_bytes,
     quicksort_steps_before_sort},
};
inline constexpr std::size_t program_count = sizeof programs / sizeof programs[0];

// The program called `name`, or null for no such program.
inline const program_info* find_program(const char* name) {
    for (const program_info& p : programs)
        if (std::strcmp(p.name, name) == 0) return &p;
    return nullptr;
}

// The position of `p` in `programs`.
inline std::size_t program_index(const program_info& p) { return static_cast<std::size_t>(&p - programs); }

}  // namespace sortcost

#ifdef SORTCOST_0_1_NAMES
// The global names of sortcost 0.1, for code written against it: define
// SORTCOST_0_1_NAMES before including this header. New code uses the names
// in namespace sortcost.
[[deprecated("use sortcost::isort_words_cost")]] inline std::uint64_t isort_words_cost(const unsigned char* data,
                                                                                      std::size_t size) {
    return sortcost_isort_words_cost(data, size);
}
[[deprecated("use sortcost::qsort_words_cost")]] inline std::uint64_t qsort_words_cost(const unsigned char* data,
                                                                                      std::size_t size) {
    return sortcost_qsort_words_cost(data, size);
}
[[deprecated("use sortcost::qsort_bytes_cost")]] inline std::uint64_t qsort_bytes_cost(const unsigned char* data,
                                                                                      std::size_t size) {
    return sortcost_qsort_bytes_cost(data, size);
}
[[deprecated("use sortcost::unreadable_cost")]] inline constexpr std::uint64_t sortcost_unreadable_cost =
    sortcost::unreadable_cost;
#endif
