// SPDX-License-Identifier: MIT
// How each program's cost grows with n, on a few shapes of input.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "records.h"

// Prints a tab-separated table (program, shape, n, cost) for n = 16, 32, ...
// up to max_n: sorted, random, reversed, McIlroy's adversary (quicksorts
// only), and the best
// known input (records and constructions); then the exact maxima that the
// records hold.
void print_growth(std::size_t max_n, const std::vector<record>& records, const std::string& records_dir);
