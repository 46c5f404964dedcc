// SPDX-License-Identifier: MIT
// The enumeration's own state: what the answers so far say of an input, in
// the terms of the program model's answer model (top bits and the order of
// the low parts).
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "program_model.h"

namespace exhaustive_search {

using sortcost::answer_model;
using sortcost::join;
using sortcost::orders_before;

// The number of elements in a set of them, by a table of each byte's: the
// enumeration's bound counts sets tens of millions of times a second, and
// without a popcount instruction in the baseline x86-64 the compiler would
// call a library routine; the table also beats the arithmetic count.
inline constexpr auto byte_bits = [] {
    std::array<std::uint8_t, 256> t{};
    for (std::size_t i = 1; i < t.size(); ++i) t[i] = static_cast<std::uint8_t>((i & 1) + t[i >> 1]);
    return t;
}();

// What some answers say of an input of up to `partial_input::capacity`
// elements: the top bits fixed so far, and the order of low parts as far as
// it is known, closed under transitivity (le is reflexive), held both ways
// round so that either side of a pair can be asked at once.
template <std::size_t Capacity>  // 16 or 32 elements
struct partial_input {
    using bits = std::uint32_t;  // a set of elements
    static constexpr int capacity = static_cast<int>(Capacity);
    static_assert(Capacity == 16 || Capacity == 32);
    // A set as the state keeps it, for 16 elements in half the room: the
    // enumeration copies a state at every branch (12 words: some 7 % less time).
    using stored = std::conditional_t<Capacity == 16, std::uint16_t, std::uint32_t>;
    static constexpr stored store(bits s) { return static_cast<stored>(s); }
    // The number of elements in a set.
    static constexpr int count(bits x) {
        const int low = byte_bits[x & 0xffu] + byte_bits[x >> 8 & 0xffu];
        if constexpr (Capacity == 16)
            return low;
        else
            return low + byte_bits[x >> 16 & 0xffu] + byte_bits[x >> 24];
    }

    int n = 0;
    std::int8_t top[Capacity];  // -1 while no answer has needed it
    stored tops[2];             // the elements whose top bit is known 0, 1
    stored le[Capacity];        // bit v of le[u]: low(u) <= low(v)
    stored lt[Capacity];        // bit v of lt[u]: low(u) < low(v)
    stored ge[Capacity];        // bit u of ge[v]: low(u) <= low(v)
    stored gt[Capacity];        // bit u of gt[v]: low(u) < low(v)

    // Nothing known yet, but what holds of every input: without a top bit,
    // every top bit is 0; with one, element 0 may be taken as the word 0.
    void start(int elements, const answer_model& m) {
        n = elements;
        tops[0] = tops[1] = 0;
        for (int u = 0; u < n; ++u) {
            top[u] = -1;
            le[u] = ge[u] = store(bits{1} << u);
            lt[u] = gt[u] = 0;
            if (!m.top_bit) set_top(u, 0);
        }
        if (!m.top_bit || n == 0) return;
        set_top(0, 0);
        for (int v = 1; v < n; ++v) add_le(0, v);
    }
    bool known_le(int x, int y) const { return le[x] >> y & 1; }
    bool known_lt(int x, int y) const { return lt[x] >> y & 1; }
    bits all() const { return (bits{1} << n) - 1; }

    void set_top(int u, int t) {
        top[u] = static_cast<std::int8_t>(t);
        tops[t] = store(tops[t] | bits{1} << u);
    }

    // Whether x orders before y: 1 or 0 when the answers so far tell, -1 when
    // they do not (a top bit is open, or the order of the low parts is).
    int before(int x, int y) const {
        if (x == y) return 0;
        if (top[x] < 0 || top[y] < 0) return -1;
        const bool can_lt = !known_le(y, x);
        const bool can_ge = !known_lt(x, y);
        if (can_lt && can_ge) return -1;
        return orders_before(top[x] == top[y], can_lt);
    }

    // low(x) <= low(y), or < when `strict`: everything at or below x is now
    // at or below everything at or above y, strictly where a step is strict.
    void add(int x, int y, bool strict) {
        const bits down = ge[x], down_lt = gt[x], up = le[y], up_lt = lt[y];
        for (bits d = down; d; d &= d - 1) {
            const int u = __builtin_ctz(d);
            le[u] = store(le[u] | up);
            lt[u] = store(lt[u] | (strict ? up : up_lt));
        }
        for (bits d = down_lt; d; d &= d - 1) {
            const int u = __builtin_ctz(d);
            lt[u] = store(lt[u] | up);
        }
        for (bits w = up; w; w &= w - 1) {
            const int v = __builtin_ctz(w);
            ge[v] = store(ge[v] | down);
            gt[v] = store(gt[v] | (strict ? down : down_lt));
        }
        for (bits w = up_lt; w; w &= w - 1) {
            const int v = __builtin_ctz(w);
            gt[v] = store(gt[v] | down);
        }
    }
    void add_le(int x, int y) { add(x, y, false); }
    void add_lt(int x, int y) { add(x, y, true); }

    // The elements x that e may yet order before, as far as the answers tell.
    // Answers only add facts, so this set only shrinks.
    bits may_precede(int e) const {
        const bits out = all() & ~(bits{1} << e);
        if (top[e] < 0) return out;
        return out & ~((tops[top[e]] & ge[e]) | (tops[1 - top[e]] & lt[e]));
    }

    // An input that gives every answer recorded: each low part is the number
    // of elements known to lie strictly below it, so < and <= both hold.
    std::vector<std::uint32_t> values(const answer_model& m) const {
        std::vector<std::uint32_t> v(static_cast<std::size_t>(n));
        for (int u = 0; u < n; ++u)
            v[static_cast<std::size_t>(u)] = join(m, top[u] > 0, static_cast<std::uint32_t>(count(gt[u])));
        return v;
    }
};

}  // namespace exhaustive_search
