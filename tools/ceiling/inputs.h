// SPDX-License-Identifier: MIT
// Inputs as the programs read them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Bytes per element: 1 for qsort_bytes, 4 for the word programs. `program`
// is always one of sortcost::programs, checked where the command line is read.
std::size_t element_size(const std::string& program);

// A file holding `values`, one element each: little-endian words, or for
// qsort_bytes the low byte of each value.
std::vector<unsigned char> input_of(const std::string& program, const std::vector<std::uint32_t>& values);

// The cost `program` (isort_words, qsort_words or qsort_bytes) reports for `in`.
std::uint64_t program_cost(const std::string& program, const std::vector<unsigned char>& in);
