// Cost-counted quicksort: a non-recursive quicksort with median-of-three
// pivots, an explicit stack that always defers the larger part, parts of at
// most five elements left alone, and one insertion pass over the whole array.
//
// Steps taken by one call: 1 on entry; one per test of the main loop, of the
// left and right scans, of the minimum search, of the insertion outer loop, of
// the backward scan, of the byte loop and of the shift loop; one per partition
// pass; `size` per element swap. The comparator adds its own steps.
#pragma once

#include <cstddef>
#include <cstdint>

#include "Hooks.h"

// Negative, zero or positive as the element at `a` orders before, equal to or
// after the element at `b`; `arg` is the caller's, passed through unchanged.
using qsort_compare_fn = int (*)(const void* a, const void* b, void* arg);

// Wraps a comparator known at compile time in a type, so that the sort is
// instantiated for it and can inline it; the cost is the same either way.
template <qsort_compare_fn Fn>
struct inline_compare {
    int operator()(const void* a, const void* b, void* arg) const { return Fn(a, b, arg); }
};

namespace gnuqsort_internal {

// Parts of at most this many elements past their first are left to the
// insertion pass.
inline constexpr std::ptrdiff_t cutoff_elements = 4;

// Pending ranges; the larger part is deferred, so depth stays below log2(count) + 1.
inline constexpr int stack_entries = 64;

// Exchanges two elements byte by byte, one step per byte.
[[gnu::always_inline]] inline void swap_elements(unsigned char* a, unsigned char* b, std::ptrdiff_t n) {
    do {
        cost_inc();
        unsigned char t = *a;
        *a++ = *b;
        *b++ = t;
    } while (--n > 0);
}

}  // namespace gnuqsort_internal

// Sorts `count` elements of `size` bytes from `base` into ascending order
// under `compare(a, b, arg)`. It never reads or writes outside the array and
// always finishes, whatever the comparator answers; the result is sorted when
// the comparator is a consistent order. Zero-sized elements are left as they
// are. Does not allocate.
template <class Compare>
void gnu_quicksort(void* base, std::uint64_t count, std::uint64_t size, Compare compare, void* arg) {
    using std::ptrdiff_t;
    using gnuqsort_internal::swap_elements;
    cost_inc();
    if (count == 0 || size == 0) return;

    // Positions are byte offsets from the start of the array, signed because a
    // scan may end one element beyond either end of its range; no pointer is
    // formed from a position outside the array.
    auto* const a = static_cast<unsigned char*>(base);
    const auto sz = static_cast<ptrdiff_t>(size);
    const ptrdiff_t cutoff = gnuqsort_internal::cutoff_elements * sz;
    const ptrdiff_t end = sz * static_cast<ptrdiff_t>(count - 1);
    auto cmp = [&](ptrdiff_t x, ptrdiff_t y) { return compare(a + x, a + y, arg); };
    auto swap = [&](ptrdiff_t x, ptrdiff_t y) { swap_elements(a + x, a + y, sz); };

    if (count > static_cast<std::uint64_t>(gnuqsort_internal::cutoff_elements)) {
        struct range {
            ptrdiff_t lo, hi;
        };
        range stack[gnuqsort_internal::stack_entries];
        range* top = stack;
        ptrdiff_t lo = 0;
        ptrdiff_t hi = end;
        *top++ = {0, 0};  // sentinel: popping it ends the phase

        while (cost_inc(), top != stack) {
            ptrdiff_t mid = lo + sz * (((hi - lo) / sz) >> 1);
            if (cmp(mid, lo) < 0) swap(mid, lo);
            if (cmp(hi, mid) < 0) {
                swap(mid, hi);
                if (cmp(mid, lo) < 0) swap(mid, lo);
            }
            ptrdiff_t left = lo + sz;
            ptrdiff_t right = hi - sz;
            do {
                cost_inc();
                // The bounds never stop a comparator that answers the same for
                // the same pair and 0 for an element against itself: the pivot
                // or an element already compared with it stops the scan first.
                while (cost_inc(), left <= hi && cmp(left, mid) < 0) left += sz;
                while (cost_inc(), right >= lo && cmp(mid, right) < 0) right -= sz;
                if (left < right) {
                    swap(left, right);
                    if (mid == left)
                        mid = right;
                    else if (mid == right)
                        mid = left;
                    left += sz;
                    right -= sz;
                } else if (left == right) {
                    left += sz;
                    right -= sz;
                    break;
                }
            } while (left <= right);

            // The left part is [lo, right], the right part [left, hi].
            if (right - lo <= cutoff) {
                if (hi - left <= cutoff) {
                    --top;
                    lo = top->lo;
                    hi = top->hi;
                } else {
                    lo = left;
                }
            } else if (hi - left <= cutoff) {
                hi = right;
            } else if (right - lo > hi - left) {
                *top++ = {lo, right};
                lo = left;
            } else {
                *top++ = {left, hi};
                hi = right;
            }
        }
    }

    // The smallest of the first five elements is the smallest of the array:
    // partitioning left no smaller element beyond them. Placed first, it stops
    // every backward scan below.
    const ptrdiff_t scan_end = end < cutoff ? end : cutoff;
    ptrdiff_t best = 0;
    for (ptrdiff_t cur = sz; cost_inc(), cur <= scan_end; cur += sz)
        if (cmp(cur, best) < 0) best = cur;
    if (best != 0) swap(best, 0);

    for (ptrdiff_t cur = sz;;) {
        cost_inc();
        cur += sz;
        if (cur > end) break;
        // The bound matters only for a comparator that is not a consistent
        // order; then the element goes to the front.
        ptrdiff_t pos = cur - sz;
        while (cost_inc(), pos >= 0 && cmp(cur, pos) < 0) pos -= sz;
        pos += sz;
        if (pos == cur) continue;
        // Rotate the element at `cur` down to `pos`, one byte position at a
        // time, from its last byte to its first.
        for (ptrdiff_t bp = cur + sz; cost_inc(), --bp >= cur;) {
            unsigned char saved = a[bp];
            ptrdiff_t dst = bp;
            for (ptrdiff_t src = bp; cost_inc(), (src -= sz) >= pos; dst = src) a[dst] = a[src];
            a[dst] = saved;
        }
    }
}
