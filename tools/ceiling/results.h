// SPDX-License-Identifier: MIT
// What exhaustive and merge print, and what record --proof takes: one row
// per program and n with the maximum and an input that costs it, proven
// (status "exact") or the maximum of part K of M of the search.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sortcost/costs.h"
#include "tsv.h"

extern const tsv_format results_format;

struct result_row {
    const sortcost::program_info* program = nullptr;
    int n = 0;
    std::uint64_t max = 0;
    unsigned part = 1, parts = 1;  // exact when parts is 1
    std::uint64_t runs = 0;        // courses of answers followed to the sort's end
    double seconds = 0;
    std::vector<unsigned char> witness;  // n elements costing max; none for a part with no course
};

// The row as a line of the table.
std::string result_line(const result_row& row);

// Reads `path`, a regular file holding the table, and checks every row: a
// known program, n from 1 to exhaustive_max_elements, a status "exact" or
// "part K/M", and a witness of n elements that costs exactly `max` through
// the program (a part with no course: max 0 and no witness). False, with
// `error` naming the file and line, for anything else.
bool read_results(const std::string& path, std::vector<result_row>& out, std::string& error);

// The maxima of parts run apart (exhaustive --part K/M), merged: for each
// program and n, every part from 1 to M there once, all of one M. Prints the
// merged table; returns the exit status, after a diagnostic for each fault.
int merge_results(const char* prog, const std::vector<std::string>& files);

// The exact maximum that the table at `path` proves for `program` and n:
// true with `max` from its exact row, else false with `error`.
bool proven_maximum(const std::string& path, const sortcost::program_info& program, std::uint64_t n,
                    std::uint64_t& max, std::string& error);
