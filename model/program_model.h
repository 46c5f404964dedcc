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
#include <string>
#include <vector>

#include "gnuqsort.h"
#include "isort.h"
#include "kinds.h"
#include "sortcost/costs.h"

namespace sortcost {

// The programs' names in their table's order, as prose: "a, b or c" with
// `last` "or" (or "and").
inline std::string program_names(const char* last) {
    std::string names;
    for (std::size_t i = 0; i < program_count; ++i)
        names += (i == 0 ? "" : i + 1 == program_count ? std::string(" ") + last + " " : ", ") + programs[i].name;
    return names;
}

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

// Whether the order is wrapped (words 2^31 apart each order before the other)
// rather than consistent: then a partition does not split its elements into
// a lower and an upper part, and a walk over inputs must take larger steps.
inline constexpr bool wrapped_order(const program_info& p) { return answers_of(p).top_bit; }

// How many values an element can take: 256 for bytes, 2^32 for words.
inline constexpr std::uint64_t distinct_values(const program_info& p) {
    return std::uint64_t{1} << (8 * p.element_size);
}

// The largest low part: every low part up to it, with either top bit, is a value.
inline constexpr std::uint32_t largest_low(const program_info& p) {
    const unsigned bits = answers_of(p).low_bits;
    return bits >= 32 ? ~std::uint32_t{0} : (std::uint32_t{1} << bits) - 1;
}

// The largest input the tools make or search: a quicksort's cost takes time
// in n squared, a minute or more to compute past this.
inline constexpr std::uint64_t max_input_elements = 16384;

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
