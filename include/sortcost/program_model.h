// SPDX-License-Identifier: MIT
// The program model this tree's tools, tests and harnesses share: for each
// benchmark of sortcost::programs, how its elements are stored, what decides
// its sort's answers (whole, and as far as some answers tell), the shape of
// its sort as the sort exports it, and its proven maximum where a closed form
// gives one. Built on the public facts of costs.h and on the sorts' own
// headers, so it is not installed.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gnuqsort.h"
#include "isort.h"
#include "kinds.h"
#include "sortcost/costs.h"

namespace sortcost {

// ---- Elements as values ----------------------------------------------------

// The element at `at`: a word's 32 bits, read little-endian, or a byte.
inline std::uint32_t load_element(const program_info& p, const unsigned char* at) {
    return p.element_size == 1 ? at[0] : words::load(at);
}

// Appends `value` as one element: a little-endian word, or its low byte.
inline void append_element(const program_info& p, std::vector<unsigned char>& out, std::uint32_t value) {
    for (std::size_t b = 0; b < p.element_size; ++b) out.push_back(static_cast<unsigned char>(value >> (8 * b)));
}

// A file holding `values`, one element each.
inline std::vector<unsigned char> encode(const program_info& p, const std::vector<std::uint32_t>& values) {
    std::vector<unsigned char> out;
    out.reserve(values.size() * p.element_size);
    for (std::uint32_t v : values) append_element(p, out, v);
    return out;
}

// The whole elements of `size` bytes at `data` (trailing bytes are ignored,
// as the programs ignore them).
inline std::vector<std::uint32_t> decode(const program_info& p, const unsigned char* data, std::size_t size) {
    std::vector<std::uint32_t> out(size / p.element_size);
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = load_element(p, data + i * p.element_size);
    return out;
}

// ---- What decides the answers ----------------------------------------------
//
// The sorts ask only whether one element orders before another. Split a value
// into a top bit and a low part. For qsort_words the top bit is bit 31 and the
// low part the other 31 bits: the wrapped difference x - y is negative exactly
// when the top bits are equal and low(x) < low(y), or differ and
// low(x) >= low(y). For the unsigned orders there is no top bit (it is 0 for
// every element) and the low part is the whole value. Either way
//
//     x orders before y  <=>  (top(x) == top(y)) == (low(x) < low(y)),
//
// so the top bits and the order of the low parts, ties included, decide every
// answer, and any top bits with any order of low parts is some input (low
// part = its rank). Adding one constant to every word changes no wrapped
// difference, so one chosen element may be taken as the word 0: top bit 0,
// the least low part.

struct answer_model {
    bool top_bit;        // whether elements have a top bit that turns answers
    unsigned low_bits;   // bits of the low part
};

inline constexpr answer_model answers_of(const program_info& p) {
    switch (p.order) {
        case element_order::wrapped_signed_words: return {true, 31};
        case element_order::unsigned_words: return {false, 32};
        case element_order::unsigned_bytes: break;
    }
    return {false, 8};
}

// Whether x orders before y, from their top bits and the order of their low parts.
constexpr bool orders_before(bool same_top, bool low_less) { return same_top == low_less; }

// The value of an element with top bit `top` and low part `low`.
inline constexpr std::uint32_t join(const answer_model& m, bool top, std::uint32_t low) {
    const std::uint32_t mask = m.low_bits >= 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << m.low_bits) - 1;
    return (m.top_bit && top ? std::uint32_t{1} << m.low_bits : 0) | (low & mask);
}
inline constexpr bool top_of(const answer_model& m, std::uint32_t v) { return m.top_bit && (v >> m.low_bits & 1); }
inline constexpr std::uint32_t low_of(const answer_model& m, std::uint32_t v) {
    return m.low_bits >= 32 ? v : v & ((std::uint32_t{1} << m.low_bits) - 1);
}

// An input as what decides its answers: each element's top bit and the rank
// of its low part among the distinct low parts (equal ranks tie).
struct outcome_input {
    std::vector<std::uint8_t> top;
    std::vector<std::uint32_t> rank;
};

// The input file that realises `in`: element i is join(top[i], rank[i]).
// Ranks must fit the low part (below 2^31 for words, 256 for bytes).
inline std::vector<unsigned char> realise(const program_info& p, const outcome_input& in) {
    const answer_model m = answers_of(p);
    std::vector<unsigned char> out;
    out.reserve(in.rank.size() * p.element_size);
    for (std::size_t i = 0; i < in.rank.size(); ++i) append_element(p, out, join(m, in.top[i] != 0, in.rank[i]));
    return out;
}

// The description of an input file's whole elements; realise() of it gives
// an input with the same answers, and the same cost.
inline outcome_input describe(const program_info& p, const std::vector<unsigned char>& bytes) {
    const answer_model m = answers_of(p);
    const std::vector<std::uint32_t> v = decode(p, bytes.data(), bytes.size());
    outcome_input in;
    std::vector<std::uint32_t> low(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) {
        in.top.push_back(top_of(m, v[i]));
        low[i] = low_of(m, v[i]);
    }
    std::vector<std::uint32_t> sorted = low;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    for (std::uint32_t l : low)
        in.rank.push_back(static_cast<std::uint32_t>(std::lower_bound(sorted.begin(), sorted.end(), l) - sorted.begin()));
    return in;
}

// What some answers say of an input of up to `partial_input::capacity`
// elements: the top bits fixed so far, and the order of low parts as far as
// it is known, closed under transitivity (le is reflexive), held both ways
// round so that either side of a pair can be asked at once.
// The number of elements in a set of them (of at most 16, as the capacity
// below), by a table of each byte's: the enumeration's bound counts sets
// tens of millions of times a second, and without a popcount instruction in
// the baseline x86-64 the compiler would call a library routine; the table
// also beats the arithmetic count.
inline constexpr auto byte_bits = [] {
    std::array<std::uint8_t, 256> t{};
    for (std::size_t i = 1; i < t.size(); ++i) t[i] = static_cast<std::uint8_t>((i & 1) + t[i >> 1]);
    return t;
}();
constexpr int count_bits(std::uint32_t x) { return byte_bits[x & 0xffu] + byte_bits[x >> 8 & 0xffu]; }

struct partial_input {
    using bits = std::uint32_t;  // a set of elements
    static constexpr int capacity = 16;
    static_assert(count_bits(0xffffu) == capacity, "count_bits counts sets of this many elements");
    // A set as the state keeps it, in half the room: the enumeration copies
    // a state at every branch (12 words: some 7 % less time).
    using stored = std::uint16_t;
    static constexpr stored store(bits s) { return static_cast<stored>(s); }

    int n = 0;
    std::int8_t top[capacity];  // -1 while no answer has needed it
    stored tops[2];             // the elements whose top bit is known 0, 1
    stored le[capacity];        // bit v of le[u]: low(u) <= low(v)
    stored lt[capacity];        // bit v of lt[u]: low(u) < low(v)
    stored ge[capacity];        // bit u of ge[v]: low(u) <= low(v)
    stored gt[capacity];        // bit u of gt[v]: low(u) < low(v)

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
            v[static_cast<std::size_t>(u)] = join(m, top[u] > 0, static_cast<std::uint32_t>(count_bits(gt[u])));
        return v;
    }
};

// ---- Proven maxima ----------------------------------------------------------

// The costliest input of n elements where a closed form proves it: for
// isort_words, distinct words in descending order, every pair out of order.
// False for the quicksorts, whose maxima only a search proves.
struct closed_form {
    std::uint64_t cost = 0;
    std::vector<std::uint32_t> values;
};
inline bool closed_form_maximum(const program_info& p, std::uint64_t n, closed_form& out) {
    if (p.sort != sort_kind::insertion) return false;
    out.values.clear();
    for (std::uint64_t i = n; i-- > 0;) out.values.push_back(static_cast<std::uint32_t>(i));
    out.cost = p.steps_before_sort + isort_steps(n, n * (n - 1) / 2);
    return true;
}

// The cost `p` reports for an input's bytes.
inline std::uint64_t cost_of(const program_info& p, const std::vector<unsigned char>& bytes) {
    return p.cost(bytes.data(), bytes.size());
}

}  // namespace sortcost
