// SPDX-License-Identifier: MIT
// sortcost-score's output: tab-separated values with a header row, or JSON
// Lines, one row per file.
#pragma once

#include <cstddef>
#include <cstdio>
#include <vector>

#include "scoring.h"

struct row_format {
    bool json = false;
    std::vector<std::size_t> columns;  // indices into sortcost::programs
};

// The header row (TSV only; JSON Lines have none).
void print_header(std::FILE* out, const row_format& format);
void print_row(std::FILE* out, const row_format& format, const score_row& row);
