// SPDX-License-Identifier: MIT
// The quicksort programs' driver, built once per element kind: QSORT_KIND is
// `words` or `bytes`.
#pragma once

#include <cstdint>

// Sorts a copy of the input with the program's element kind. Takes its entry
// step; when the copy cannot be allocated, prints a "buf" perror line and
// returns, so the program still reports the steps taken so far.
void test_qsort(const unsigned char* src, std::uint64_t size);
