// SPDX-License-Identifier: MIT
// The search for a costly input: simulated annealing over what decides the
// quicksorts' answers (the program model's outcome_input), on several
// threads that share their best.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "program_model.h"

struct search_options {
    const sortcost::program_info* program = nullptr;  // qsort_words or qsort_bytes
    std::size_t n = 0;                                 // elements
    double seconds = 0;                                // stop after this long; 0: no limit
    std::uint64_t target = 0;                          // stop once a cost reaches this; 0: none
    std::uint64_t evaluations = 0;                     // stop after this many costs per thread; 0: no limit
    unsigned threads = 1;
    std::uint64_t seed = 1;
    std::vector<sortcost::outcome_input> starts;  // inputs of n elements to start from (records, say)
    bool starts_only = false;  // every thread begins at one of `starts`, none at a random input
};

struct search_result {
    sortcost::outcome_input best;
    std::uint64_t cost = 0;  // what the program reports for realise(best)
    double seconds = 0;
    std::uint64_t evaluations = 0;  // costs computed, all threads
};

// Searches until a stop of `o` is reached, on o.threads threads where they
// can be started (each start input is costed, and the costliest of a
// thread's share is where it begins). `progress`, if given, is called about
// ten times a second from the first thread with the search so far: the best
// input and its cost, the time and the costs computed. With one thread and
// no time limit, a run that stops at the target or the evaluation budget is
// the same for the same seed (with a limit, the first sweep lasts a share of
// the time, by the clock).
search_result anneal(const search_options& o, const std::function<void(const search_result&)>& progress);
