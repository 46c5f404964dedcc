// SPDX-License-Identifier: MIT
// The one worker pool, of the tools and the Python module alike. Workers
// are threads (the search, the enumeration, scoring from Python) or
// processes (scoring from the command line); a worker that cannot be
// started, or a process that dies, leaves its work to the others, so no
// work is ever lost.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// The most workers a caller may ask for: more would only hold more files in
// memory at once.
inline constexpr unsigned max_workers = 1024;

// Runs work(worker, workers) on at most `wanted` workers: this thread is
// worker 0, the others are threads started for the call. `workers` is how
// many there are in all, fixed before any of them runs, so that what was meant
// for a worker that could not be started can be shared among those that
// were. Returns once every worker has returned.
void run_workers(unsigned wanted, const std::function<void(unsigned worker, unsigned workers)>& work);

// Hands items 0 to count - 1 out to up to `wanted` workers (as run_workers),
// `run` at a time: each worker claims the next run of items not yet claimed
// and calls work(worker, first, last) on [first, last), until none is left.
void for_each_run(std::size_t count, unsigned wanted, std::size_t run,
                  const std::function<void(unsigned worker, std::size_t first, std::size_t last)>& work);

enum class worker_kind {
    threads,    // share this process's memory
    processes,  // forks, each with its own memory and table of open files, so
                // that none waits on another's locks
};

// Produces the results of items 0 to count - 1 on up to `jobs` workers, this
// thread or process among them, a run of items at a time (`produce(first,
// last)` for items [first, last)), and hands each run's result to `deliver`
// on this thread, in item order, with the number of items it holds. The
// result is the same for any `jobs` and either kind. With threads, `produce`
// is called from several threads at once; with processes, in forks that have
// this thread alone, and what it returns travels through a pipe.
void run_in_order(std::size_t count, unsigned jobs, worker_kind kind,
                  const std::function<std::string(std::size_t first, std::size_t last)>& produce,
                  const std::function<void(std::string& result, std::size_t items)>& deliver);

// The number of cores this process may run on, at least 1.
unsigned available_cores();
