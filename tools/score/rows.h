// SPDX-License-Identifier: MIT
// sortcost-score's output: tab-separated values with a header row, or JSON
// Lines, one row per file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "scoring.h"

struct row_format {
    bool json = false;
    std::vector<std::size_t> columns;  // indices into sortcost::programs
};

// Appends the header row to `out` (TSV only; JSON Lines have none).
void format_header(std::string& out, const row_format& format);
// Appends one file's row to `out`.
void format_row(std::string& out, const row_format& format, const score_row& row);
