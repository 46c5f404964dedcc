// SPDX-License-Identifier: MIT
// Exact maximum costs for tiny inputs: every answer the program's order can
// give to the sort's questions, tried depth first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sortcost/costs.h"

// Inputs of up to this many elements can be searched (a state has room for
// 32, but 16 words take about a day on two cores, and each byte more some
// five times as long).
inline constexpr int exhaustive_max_elements = 18;

struct exact_maximum {
    std::uint64_t cost = 0;              // the most the program reports for n elements
    std::vector<unsigned char> witness;  // an input of n elements that reports it
    std::uint64_t runs = 0;              // courses of answers followed to the sort's end
};

// The maximum over every input of n elements (1 <= n <= exhaustive_max_elements)
// of the cost `program` reports: from its closed form where it has one
// (isort_words), else by search on `threads` threads. With `parts` above 1,
// only part `part` (1 to parts) of the search: the parts share the courses of
// answers out, and the largest of their maxima is the maximum; a part may
// hold no course at all (runs 0, no witness). With `floor`, the cost of some
// input of n elements, courses whose bound falls below it are cut short; the
// maximum is still found. The witness is checked through the program's own
// in-process cost. False, with `error`, for what only a fault of the search
// gives: a whole search that follows no course or finds less than `floor`,
// a witness that does not cost the maximum.
bool exhaustive_maximum(const sortcost::program_info& program, int n, unsigned part, unsigned parts, unsigned threads,
                        std::uint64_t floor, exact_maximum& out, std::string& error);
