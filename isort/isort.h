// Cost-counted insertion sort by adjacent exchanges, and the isort_words
// benchmark built on it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sortcost/costs.h"  // isort_words_cost, defined in isort.cpp

// Sorts values[0, count) into ascending unsigned order in place; a count of
// zero or less sorts nothing. Costs 2 * count + 2 steps plus one per exchange,
// that is per pair standing in the wrong order (a negative count costs 2).
void isort(std::uint32_t* values, std::int32_t count);

// The largest number of words isort can take in one call.
inline constexpr std::uint64_t isort_max_count = INT32_MAX;

// Sorts a private copy of the size / 4 whole words of `src` (trailing bytes
// are copied, not sorted). Returns 0, or -1 after a perror line when the copy
// cannot be made ("buf") or holds more words than isort takes ("readfile",
// errno EFBIG). Takes no step of its own.
int isort_copy(const unsigned char* src, std::uint64_t size);
