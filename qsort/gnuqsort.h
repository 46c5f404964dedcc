// SPDX-License-Identifier: MIT
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
#include <cstring>

#include "Hooks.h"

namespace sortcost {

// Negative, zero or positive as the element at `a` orders before, equal to or
// after the element at `b`; `arg` is the caller's, passed through unchanged.
using qsort_compare_fn = int (*)(const void* a, const void* b, void* arg);

// Wraps a comparator known at compile time in a type, so that the sort is
// instantiated for it and can inline it; the cost is the same either way.
//
// `Pure` promises that Fn's answer depends on the bytes of the two elements
// it is given and on nothing else: it reaches the array only through those two
// addresses, answers the same for the same two values every time, and 0 for an
// element against itself, as a difference of values does even where it wraps.
// The partition scans then need no range checks (the pivot, or an element
// already compared with it in the same argument order, stops each of them
// inside its range), and the compiler may keep the step count in a register
// while the array is written. Without the promise the checks stay, and any
// answers at all keep the sort inside the array. Both give the same steps for
// a comparator that keeps the promise.
//
// A pure comparator type may also find where a partition scan stops several
// elements at a time. It then defines, for elements of `element_size` bytes:
//   steps_per_call: the steps one call of operator() takes;
//   first_not_before(first, n, pivot): the index of the first of the n
//     elements from `first` that does not order before *pivot, or n;
//   first_not_after_down(last, n, pivot): the least i such that *pivot does
//     not order before the element at last - i * element_size, for i < n; or n.
// Neither takes a step; the sort adds the steps the scan loops would take.
// It may also answer for a whole block of `block_elements` (up to 64) at once,
// as masks whose bit i stands for element i from the block's start:
//   stops_up(first, pivot): bit i set when the element at
//     first + i * element_size does not order before *pivot;
//   stops_down(last, pivot): bit i set when *pivot does not order before the
//     element at last - i * element_size.
template <qsort_compare_fn Fn, bool Pure = false>
struct inline_compare {
    static constexpr bool pure = Pure;
    int operator()(const void* a, const void* b, void* arg) const { return Fn(a, b, arg); }
};

// The sort's shape, the one statement of it: the sort follows it, and tools
// that reason about the sort's steps (the exhaustive search, which steps it by
// hand) take it from here.
struct quicksort_shape {
    // The step gnu_quicksort takes on entry.
    static constexpr std::uint64_t entry_steps = 1;
    // Parts of at most this many elements past their first are left to the
    // insertion pass, and the insertion pass's minimum search looks this far.
    static constexpr std::ptrdiff_t cutoff_elements = 4;
    // Pending ranges; the larger part is deferred, so depth stays below
    // log2(count) + 1 with the sentinel.
    static constexpr int stack_entries = 64;
    // An exchange of two elements: one step per byte.
    static constexpr std::uint64_t swap_steps(std::uint64_t size) { return size; }
    // An element moved down past `passed` others by the insertion pass, one
    // byte position at a time: a byte loop of size + 1 tests, and for each
    // byte a shift loop of one test per element passed plus one.
    static constexpr std::uint64_t rotation_steps(std::uint64_t size, std::uint64_t passed) {
        return (size + 1) + size * (passed + 1);
    }
};

namespace gnuqsort_internal {

template <class Compare>
constexpr bool is_pure() {
    if constexpr (requires { Compare::pure; })
        return Compare::pure;
    else
        return false;
}

template <class Compare, std::size_t Fixed>
constexpr bool has_batch_scans() {
    if constexpr (requires { Compare::element_size; Compare::steps_per_call; })
        return is_pure<Compare>() && Fixed > 0 && Compare::element_size == Fixed;
    else
        return false;
}

template <class Compare, std::size_t Fixed>
constexpr bool has_block_stops() {
    if constexpr (requires { Compare::block_elements; Compare::stops_up; Compare::stops_down; })
        return has_batch_scans<Compare, Fixed>() && Compare::block_elements > 0 && Compare::block_elements <= 64;
    else
        return false;
}

// Exchanges two distinct elements, one step per byte. With the size fixed at
// compile time the bytes move together; the steps are the same.
template <std::size_t Fixed>
[[gnu::always_inline]] inline void swap_elements(unsigned char* a, unsigned char* b, std::ptrdiff_t n) {
    if constexpr (Fixed > 0) {
        unsigned char t[Fixed];
        std::memcpy(t, a, Fixed);
        std::memcpy(a, b, Fixed);
        std::memcpy(b, t, Fixed);
        cost_steps(quicksort_shape::swap_steps(Fixed));
    } else {
        do {
            cost_inc();
            unsigned char t = *a;
            *a++ = *b;
            *b++ = t;
        } while (--n > 0);
    }
}

// Moves the element at `cur` down to `pos` < `cur`, the elements between up
// by one. The steps are those of a rotation one byte position at a time, from
// the element's last byte to its first: a byte loop of size + 1 tests, and for
// each byte a shift loop of one test per element it passes plus one.
template <std::size_t Fixed>
[[gnu::always_inline]] inline void rotate_down(unsigned char* a, std::ptrdiff_t pos, std::ptrdiff_t cur,
                                               std::ptrdiff_t sz) {
    if constexpr (Fixed > 0) {
        constexpr auto bytes = static_cast<std::ptrdiff_t>(Fixed);
        unsigned char saved[Fixed];
        std::memcpy(saved, a + cur, Fixed);
        // Parts are small, so an element at a time beats a call to memmove.
        for (std::ptrdiff_t p = cur; p > pos; p -= bytes) std::memcpy(a + p, a + p - bytes, Fixed);
        std::memcpy(a + pos, saved, Fixed);
        const auto passed = static_cast<std::uint64_t>((cur - pos) / bytes);
        cost_steps(quicksort_shape::rotation_steps(Fixed, passed));
    } else {
        for (std::ptrdiff_t bp = cur + sz; cost_inc(), --bp >= cur;) {
            unsigned char saved = a[bp];
            std::ptrdiff_t dst = bp;
            for (std::ptrdiff_t src = bp; cost_inc(), (src -= sz) >= pos; dst = src) a[dst] = a[src];
            a[dst] = saved;
        }
    }
}

// Partition passes made a block of elements at a time, for a comparator type
// that finds a block's stops at once. While the stretch that neither scan has
// reached holds a whole block for each scan that needs one, the stops of both
// blocks are known without a branch per element, and the k-th stop from the
// left pairs with the k-th from the right: exactly the swaps, in the same
// order, that the element-by-element passes make, since every element either
// scan reaches here still holds its value from before the partition. Leaves
// `left`, `right` and `mid` where those passes would have them, having taken
// their steps, and returns true when the last pass ended the partition.
template <std::size_t Fixed, class Compare>
[[gnu::always_inline]] inline bool block_partition(unsigned char* a, std::ptrdiff_t& left, std::ptrdiff_t& right,
                                                   std::ptrdiff_t& mid) {
    using std::ptrdiff_t;
    constexpr auto sz = static_cast<ptrdiff_t>(Fixed);
    constexpr ptrdiff_t block = Compare::block_elements * sz;
    // The pivot's value, which the passes follow wherever it is swapped to.
    unsigned char pivot[Fixed];
    std::memcpy(pivot, a + mid, Fixed);

    const ptrdiff_t from_left = left;
    const ptrdiff_t from_right = right;
    ptrdiff_t next_left = left;  // neither scan has reached [next_left, next_right]
    ptrdiff_t next_right = right;
    ptrdiff_t left_base = 0;
    ptrdiff_t right_base = 0;
    std::uint64_t left_stops = 0;  // stops not yet paired, bit i at left_base + i sz
    std::uint64_t right_stops = 0;  // bit i at right_base - i sz
    std::uint64_t passes = 0;
    for (;;) {
        if (!left_stops) {
            if (next_right - next_left + sz < block) break;
            left_base = next_left;
            left_stops = Compare::stops_up(a + left_base, pivot);
            next_left += block;
        }
        if (!right_stops) {
            if (next_right - next_left + sz < block) break;
            right_base = next_right;
            right_stops = Compare::stops_down(a + right_base, pivot);
            next_right -= block;
        }
        while (left_stops && right_stops) {
            const ptrdiff_t l = left_base + sz * __builtin_ctzll(left_stops);
            const ptrdiff_t r = right_base - sz * __builtin_ctzll(right_stops);
            swap_elements<Fixed>(a + l, a + r, sz);
            mid = mid == l ? r : mid == r ? l : mid;
            left_stops &= left_stops - 1;
            right_stops &= right_stops - 1;
            left = l + sz;
            right = r - sz;
            ++passes;
        }
    }
    // Each pass: its head, and every test of both scans with its comparator
    // call, up to the stops it swapped (the swaps took their own steps).
    constexpr std::uint64_t per_test = 1 + Compare::steps_per_call;
    cost_steps(passes + per_test * static_cast<std::uint64_t>((left - from_left) / sz + (from_right - right) / sz));
    return passes > 0 && left > right;
}

// The sort itself, for elements of `sz` bytes; `Fixed` is sz when it is known
// at compile time, else 0. The caller has taken the entry step.
template <std::size_t Fixed, class Compare>
[[gnu::always_inline]] inline void sort_body(unsigned char* a, std::uint64_t count, std::ptrdiff_t sz,
                                             Compare& compare, void* arg) {
    using std::ptrdiff_t;
    if constexpr (Fixed > 0) sz = static_cast<ptrdiff_t>(Fixed);
    // Positions are byte offsets from the start of the array, signed because a
    // scan may end one element beyond either end of its range; no pointer is
    // formed from a position outside the array.
    const ptrdiff_t cutoff = quicksort_shape::cutoff_elements * sz;
    const ptrdiff_t end = sz * static_cast<ptrdiff_t>(count - 1);
    auto cmp = [&](ptrdiff_t x, ptrdiff_t y) { return compare(a + x, a + y, arg); };
    auto swap = [&](ptrdiff_t x, ptrdiff_t y) { swap_elements<Fixed>(a + x, a + y, sz); };

    if (count > static_cast<std::uint64_t>(quicksort_shape::cutoff_elements)) {
        struct range {
            ptrdiff_t lo, hi;
        };
        range stack[quicksort_shape::stack_entries];
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
            bool partitioned = false;
            if constexpr (has_block_stops<Compare, Fixed>()) partitioned = block_partition<Fixed, Compare>(a, left, right, mid);
            if (!partitioned) do {
                cost_inc();
                if constexpr (has_batch_scans<Compare, Fixed>()) {
                    // The same stops as the loops below, found without a
                    // branch per element; each test costs its step and the
                    // comparator call it makes.
                    constexpr std::uint64_t per_test = 1 + Compare::steps_per_call;
                    const ptrdiff_t from_left = left;
                    const ptrdiff_t from_right = right;
                    left += sz * Compare::first_not_before(a + left, (end - left) / sz + 1, a + mid);
                    right -= sz * Compare::first_not_after_down(a + right, right / sz + 1, a + mid);
                    cost_steps(per_test * static_cast<std::uint64_t>((left - from_left) / sz + 1));
                    cost_steps(per_test * static_cast<std::uint64_t>((from_right - right) / sz + 1));
                } else {
                    // A pure comparator stops both scans inside the range by
                    // itself; the checks are for comparators that may not.
                    constexpr bool checked = !is_pure<Compare>();
                    while (cost_inc(), (!checked || left <= hi) && cmp(left, mid) < 0) left += sz;
                    while (cost_inc(), (!checked || right >= lo) && cmp(mid, right) < 0) right -= sz;
                }
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

    // Under a consistent order the smallest of the first five elements is the
    // smallest of the array: partitioning left no smaller element beyond them.
    // Placed first, it stops every backward scan below.
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
        rotate_down<Fixed>(a, pos, cur, sz);
    }
}

// With a pure comparator nothing but `a` reaches the array during the sort.
// Kept out of line: the programs call it once per sort, and the benchmarks
// then time the same code the programs run.
template <std::size_t Fixed, class Compare>
[[gnu::noinline]] void sort_restricted(unsigned char* __restrict a, std::uint64_t count, std::ptrdiff_t sz,
                                       Compare& compare, void* arg) {
    sort_body<Fixed>(a, count, sz, compare, arg);
}

template <std::size_t Fixed, class Compare>
void sort(unsigned char* a, std::uint64_t count, std::ptrdiff_t sz, Compare& compare, void* arg) {
    if constexpr (is_pure<Compare>())
        sort_restricted<Fixed>(a, count, sz, compare, arg);
    else
        sort_body<Fixed>(a, count, sz, compare, arg);
}

}  // namespace gnuqsort_internal

// Sorts `count` elements of `size` bytes from `base` into ascending order
// under `compare(a, b, arg)`. It never reads or writes outside the array and
// always finishes, whatever the comparator answers; the result is sorted when
// the comparator is a consistent order. Zero-sized elements are left as they
// are. Does not allocate.
template <class Compare>
void gnu_quicksort(void* base, std::uint64_t count, std::uint64_t size, Compare compare, void* arg) {
    using gnuqsort_internal::sort;
    cost_inc();
    if (count == 0 || size == 0) return;
    auto* a = static_cast<unsigned char*>(base);
    auto sz = static_cast<std::ptrdiff_t>(size);
    // Common sizes get code with the size fixed; the steps are the same.
    switch (size) {
        case 1: return sort<1>(a, count, sz, compare, arg);
        case 2: return sort<2>(a, count, sz, compare, arg);
        case 4: return sort<4>(a, count, sz, compare, arg);
        case 8: return sort<8>(a, count, sz, compare, arg);
        default: return sort<0>(a, count, sz, compare, arg);
    }
}

}  // namespace sortcost
