// SPDX-License-Identifier: MIT
// Cost counter shared by every benchmark program and the in-process costs.
//
// A cost step is one call of cost_inc(). Functions of the programs' own logic
// take one step on entry and one each time control reaches a loop head; the
// quicksort also takes one per byte of every element swap. Nothing else
// counts, so a given input always yields the same total.
#pragma once

#include <cstdint>

namespace sortcost {

namespace hooks_internal {
// The step count, one per thread, defined and owned by Hooks.cpp. A program
// runs on one thread, so for it this is the one count of the process; an
// in-process cost counts on its caller's thread, so threads never mix their
// steps. It is exposed here only so that cost_inc() can be inlined; code
// outside this header must go through cost_inc() and cost_read().
extern thread_local constinit std::uint64_t counter;
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

// Returns the number of steps this thread has taken so far (modulo 2^64).
std::uint64_t cost_read();

}  // namespace sortcost

// Prints "[COST] N" on standard output and flushes it; registered with atexit
// by each program. When the report cannot be written, prints a "report"
// perror line on standard error and ends the process with status 1. Part of
// the programs only, not of the library, which never prints.
void exit_print_hook();
