// SPDX-License-Identifier: MIT
#include "isort.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Hooks.h"
#include "sortcost/costs.h"

namespace sortcost {
namespace {

// Moves within this many places are found by stepping back one word at a
// time: nearly sorted input moves its words a place or two, and for those
// the step is quicker than a search.
constexpr std::int32_t nearby = 8;

// Where values[i] comes to rest among the sorted words before it: just after
// the last of them that is not greater. Exchanging it down with each greater
// neighbour, as the sort is defined, stops at the same place.
std::int32_t resting_place(const std::uint32_t* values, std::int32_t i) {
    const std::uint32_t v = values[i];
    std::int32_t j = i;
    for (std::int32_t k = 0; k < nearby; ++k, --j)
        if (j == 0 || values[j - 1] <= v) return j;
    // values[j] > v: the place is in [0, j]. A search without a branch on
    // the words, since on random input every probe is a coin toss.
    std::int32_t base = 0;
    std::int32_t len = j;
    while (len > 1) {
        std::int32_t half = len / 2;
        base = values[base + half - 1] <= v ? base + half : base;
        len -= half;
    }
    return base + (len == 1 && values[base] <= v);
}

// From this many words on, isort_words_cost takes isort's steps from the
// count of pairs out of order, made by a merge sort in n log n, instead of
// running the quadratic sort; the number is the same.
constexpr std::uint64_t counted_from = 256;

// Sorts v[0, n) by merging, with room for n words in `tmp`, and returns the
// number of pairs that stood in the wrong order: isort's exchanges.
std::uint64_t count_exchanges(std::uint32_t* v, std::uint32_t* tmp, std::size_t n) {
    std::uint64_t pairs = 0;
    for (std::size_t width = 1; width < n; width *= 2) {
        for (std::size_t lo = 0; lo + width < n; lo += 2 * width) {
            const std::size_t mid = lo + width;
            const std::size_t hi = n - mid < width ? n : mid + width;
            std::size_t i = lo, j = mid, k = lo;
            while (i < mid && j < hi) {
                // A word taken from the right half stood after every word
                // still waiting in the left half, each of them greater.
                if (v[j] < v[i]) {
                    pairs += mid - i;
                    tmp[k++] = v[j++];
                } else {
                    tmp[k++] = v[i++];
                }
            }
            while (i < mid) tmp[k++] = v[i++];
            while (j < hi) tmp[k++] = v[j++];
            std::memcpy(v + lo, tmp + lo, (hi - lo) * sizeof *v);
        }
    }
    return pairs;
}

}  // namespace

void isort(std::uint32_t* values, std::int32_t count) {
    cost_inc();
    for (std::int32_t i = 0; cost_inc(), i < count; ++i) {
        // The element travels down past every greater word by adjacent
        // exchanges, one test each, and an equal or smaller word (or the front)
        // stops it with one more test. The exchanges shift the words it passes
        // up by one place, which one move does at once.
        std::int32_t to = resting_place(values, i);
        if (to < i) {
            std::uint32_t v = values[i];
            std::memmove(values + to + 1, values + to, static_cast<std::size_t>(i - to) * sizeof v);
            values[to] = v;
        }
        cost_steps(static_cast<std::uint64_t>(i - to) + 1);
    }
}

int isort_sort_copy(const unsigned char* src, std::uint64_t size, bool may_count) {
    std::uint64_t words = size / 4;
    // isort takes a 32-bit count; sorting only part of a larger file would
    // report a wrong cost, so such a file is refused.
    if (words > isort_max_count) {
        errno = EFBIG;
        return -1;
    }
    // Never ask for zero bytes, so that a null result always means failure;
    // a size this machine cannot address is as little memory as none.
    const auto bytes = static_cast<std::size_t>(size);
    auto* copy = bytes == size ? static_cast<std::uint32_t*>(std::malloc(bytes > 0 ? bytes : 1)) : nullptr;
    if (!copy) {
        errno = ENOMEM;
        return -1;
    }
    if (bytes > 0) std::memcpy(copy, src, bytes);
    auto n = static_cast<std::size_t>(words);
    // The words are little-endian in the input, whatever this machine's order.
    if constexpr (std::endian::native == std::endian::big)
        for (std::size_t i = 0; i < n; ++i) copy[i] = __builtin_bswap32(copy[i]);
    auto* room = may_count && words >= counted_from ? static_cast<std::uint32_t*>(std::malloc(n * sizeof *copy)) : nullptr;
    if (room) {
        cost_steps(isort_steps(words, count_exchanges(copy, room, n)));
        std::free(room);
    } else {
        isort(copy, static_cast<std::int32_t>(words));
    }
    std::free(copy);
    return 0;
}

}  // namespace sortcost

uint64_t sortcost_isort_words_cost(const void* data, size_t size) {
    // An empty file fails to read after main's and the reader's steps.
    if (size == 0) return sortcost::unreadable_cost;
    if (!data) {
        errno = EINVAL;
        return 0;
    }
    std::uint64_t before = sortcost::cost_read();
    if (sortcost::isort_sort_copy(static_cast<const unsigned char*>(data), size, true) < 0)
        // Too many words: the program refuses the file as unreadable.
        return errno == EFBIG ? sortcost::unreadable_cost : 0;
    return sortcost::isort_steps_before_sort + (sortcost::cost_read() - before);
}
