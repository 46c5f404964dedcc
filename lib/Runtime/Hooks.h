// Cost counter and exit report shared by every benchmark program.
//
// A cost step is one call of cost_inc(). Functions of the programs' own logic
// take one step on entry and one each time control reaches a loop head; the
// quicksort also takes one per byte of every element swap. Nothing else
// counts, so a given input always yields the same total.
#pragma once

#include <cstdint>

namespace hooks_internal {
// The process-wide step count, defined and owned by Hooks.cpp. It is exposed
// here only so that cost_inc() can be inlined; code outside this header must
// go through cost_inc() and cost_read().
extern std::uint64_t counter;
}  // namespace hooks_internal

// Adds one step. Sits in every inner loop, so it must be a single increment
// of the counter at each call site, with no call, at every optimisation level.
[[gnu::always_inline]] inline void cost_inc() {
#ifndef SORTCOST_UNCOUNTED
    ++hooks_internal::counter;
#endif
}

// Adds n steps at once: the same count as n calls of cost_inc(), for code that
// knows how many tests a loop would have made without making them one by one.
[[gnu::always_inline]] inline void cost_steps(std::uint64_t n) {
#ifndef SORTCOST_UNCOUNTED
    hooks_internal::counter += n;
#else
    (void)n;
#endif
}

// Returns the number of steps taken so far in this process (modulo 2^64).
std::uint64_t cost_read();

// Prints "[COST] N" on standard output and flushes it; registered with atexit.
// When the report cannot be written, prints a "report" perror line on
// standard error and ends the process with status 1.
void exit_print_hook();
