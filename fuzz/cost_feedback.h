// SPDX-License-Identifier: MIT
// Cost as coverage: lets a coverage-guided engine (libFuzzer, AFL++) keep the
// inputs that make a sort expensive, without changing the engine.
//
// Engines keep an input that shows them new coverage: a code location that
// no input reached before, or one reached a number of times in a range (1, 2,
// 3, 4-7, 8-15, 16-31, 32-127, 128 and more) it was not reached before. Both
// libFuzzer and AFL++ count code this way. So each cost maps to a level, and
// each level to one of `markers` instrumented functions, called a number of
// times from {1, 2, 3, 4, 8, 16, 32, 128}: an input whose cost reaches a
// level no input reached before is new coverage, and is kept. Levels are
// exact for costs below 2^14, then 1024 to each doubling of the cost (a
// resolution of 0.1 %), up to 2^30, above which every cost is the top level.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace cost_feedback {

inline constexpr std::uint64_t exact_below = 1u << 14;
inline constexpr int per_doubling = 1 << 10;
inline constexpr int levels = 1 << 15;
inline constexpr int markers = levels / 8;
// How often a level's marker is called, by the level's last three bits: one
// count in each of the engines' eight hit-count ranges.
inline constexpr int calls_per_level[8] = {1, 2, 3, 4, 8, 16, 32, 128};

inline int level(std::uint64_t cost) {
    if (cost < exact_below) return static_cast<int>(cost);
    int doubling = 63 - __builtin_clzll(cost);  // 14 and up
    auto fraction = static_cast<int>((cost >> (doubling - 10)) & (per_doubling - 1));
    int l = static_cast<int>(exact_below) + (doubling - 14) * per_doubling + fraction;
    return l < levels ? l : levels - 1;
}

// One function per eight levels. Each has a body of its own, so that no
// compiler folds two of them into one, and each is instrumented like any
// other code of the harness.
template <int K>
[[gnu::noinline]] void marker() {
    asm volatile("" : : "i"(K));
}

template <int... K>
constexpr std::array<void (*)(), sizeof...(K)> marker_table(std::integer_sequence<int, K...>) {
    return {&marker<K>...};
}

inline const char* harness_name = nullptr;
inline std::uint64_t best_cost = 0;

// The highest cost this process saw, printed once when it exits, so that the
// code an input runs never depends on the inputs run before it.
inline void print_best() {
    if (harness_name)
        std::fprintf(stderr, "%s: best cost %llu\n", harness_name, static_cast<unsigned long long>(best_cost));
}
inline const bool print_best_at_exit = std::atexit(print_best) == 0;

// Shows the engine the level of `cost`, the cost of the input just run.
inline void report(const char* harness, std::uint64_t cost) {
#ifndef SORTCOST_NO_COST_FEEDBACK  // for measuring what the feedback brings
    static constexpr auto table = marker_table(std::make_integer_sequence<int, markers>{});
    const int l = level(cost);
    for (int i = 0; i < calls_per_level[l & 7]; ++i) table[static_cast<std::size_t>(l >> 3)]();
#endif
    harness_name = harness;
    best_cost = std::max(best_cost, cost);
}

}  // namespace cost_feedback
