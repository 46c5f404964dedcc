// SPDX-License-Identifier: MIT
// Cost-counted insertion sort by adjacent exchanges, and the isort_words
// benchmark built on it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sortcost {

// Sorts values[0, count) into ascending unsigned order in place; a count of
// zero or less sorts nothing. Costs 2 * count + 2 steps plus one per exchange,
// that is per pair standing in the wrong order (a negative count costs 2).
void isort(std::uint32_t* values, std::int32_t count);

// The steps isort takes for `count` >= 0 words with `exchanges` pairs out of
// order: its entry, count + 1 tests of the outer loop, and for each word one
// test per exchange and the test that stops it.
constexpr std::uint64_t isort_steps(std::uint64_t count, std::uint64_t exchanges) {
    return 2 * count + 2 + exchanges;
}

// The largest number of words isort can take in one call.
inline constexpr std::uint64_t isort_max_count = INT32_MAX;

// Sorts a private copy of the size / 4 whole words of `src` (trailing bytes
// are copied, not sorted), taking isort's steps; with `may_count`, a large
// input's steps may come from counting its pairs out of order instead, the
// same number. Returns 0, or -1 with no step taken and errno set when the
// copy holds more words than isort takes (EFBIG) or cannot be made (ENOMEM).
// Prints nothing.
int isort_sort_copy(const unsigned char* src, std::uint64_t size, bool may_count);

}  // namespace sortcost

// isort_words' copy and sort: as sortcost::isort_sort_copy without counting,
// printing a perror line on failure: "readfile" for too many words, "buf"
// when the copy cannot be made. Takes no step of its own.
int isort_copy(const unsigned char* src, std::uint64_t size);
