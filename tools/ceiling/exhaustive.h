// SPDX-License-Identifier: MIT
// Exact maximum costs for tiny inputs: every answer the program's order can
// give to the sort's questions, tried depth first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Inputs of up to this many elements can be searched (14 takes half an
// hour on two cores).
inline constexpr int exhaustive_max_elements = 14;

struct exact_maximum {
    std::uint64_t cost = 0;              // the most the program reports for n elements
    std::vector<unsigned char> witness;  // an input of n elements that reports it
    std::uint64_t runs = 0;              // courses of answers followed to the sort's end
};

// The maximum over every input of n elements (1 <= n <= exhaustive_max_elements)
// of the cost `program` reports: isort_words from its closed form (every pair
// out of order), the quicksorts by search on `threads` threads. With `parts`
// above 1, only part `part` (1 to parts) of the search: the parts share the
// courses of answers out, and the largest of their maxima is the maximum.
// With `floor`, the cost of some input of n elements, courses whose bound
// falls below it are cut short; the maximum is still found. The witness is
// checked through the program's own in-process cost before it is returned.
exact_maximum exhaustive_maximum(const std::string& program, int n, unsigned part = 1, unsigned parts = 1,
                                 unsigned threads = 1, std::uint64_t floor = 0);
