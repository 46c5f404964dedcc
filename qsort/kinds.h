// SPDX-License-Identifier: MIT
// The quicksort benchmarks' two element kinds: `words` sorts the input as
// 4-byte words, `bytes` as single bytes. Each program fixes its kind when it
// is built; the library offers both.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "Hooks.h"

namespace sortcost {

// The steps each call of either comparator takes: its entry step.
inline constexpr std::uint64_t compare_steps = 1;

namespace words {
// Reads a little-endian 32-bit word from any address: the same word on
// every machine.
inline std::uint32_t load(const void* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap32(w);
    return w;
}

// Compares two little-endian 32-bit words as signed values: first minus
// second, wrapped to 32 bits where the difference does not fit. Inline, so
// that the sort can take it in; words::order (word_scans.h) is the same
// order with scans that find several answers at once.
inline int cmp(const void* a, const void* b, void*) {
    cost_inc();
    // Unsigned subtraction wraps instead of overflowing; read as signed it is
    // the exact difference of the signed words whenever that fits.
    return static_cast<std::int32_t>(load(a) - load(b));
}

// Sorts a private copy of the size / 4 whole words of src (trailing bytes
// are ignored), taking the sort's steps. Returns false, with errno ENOMEM and
// no step taken, when there is no memory for the copy.
bool sort_copy(const unsigned char* src, std::uint64_t size);
}  // namespace words

namespace bytes {
// Compares two bytes as unsigned values: first minus second.
inline int cmp(const void* a, const void* b, void*) {
    cost_inc();
    return *static_cast<const unsigned char*>(a) - *static_cast<const unsigned char*>(b);
}

// Sorts a private copy of the size bytes of src; fails as words::sort_copy.
bool sort_copy(const unsigned char* src, std::uint64_t size);
}  // namespace bytes

}  // namespace sortcost
