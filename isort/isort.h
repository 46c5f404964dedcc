// Cost-counted insertion sort by adjacent exchanges.
#pragma once

#include <cstdint>

// Sorts values[0, count) into ascending unsigned order in place; a count of
// zero or less sorts nothing. Costs 2 * count + 2 steps plus one per exchange,
// that is per pair standing in the wrong order (a negative count costs 2).
void isort(std::uint32_t* values, std::int32_t count);

// The largest number of words isort can take in one call.
inline constexpr std::uint64_t isort_max_count = INT32_MAX;
