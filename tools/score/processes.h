// SPDX-License-Identifier: MIT
// sortcost-score's parallel runs: the entries rendered by several processes,
// each with its own memory and its own table of open files, so that none
// waits on another; the text comes out in order, exactly as one process
// gives it.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// What a run of entries renders: rows for standard output, diagnostics for
// standard error, and how many entries failed.
struct rendered {
    std::string out;
    std::string err;
    std::size_t failures = 0;
    std::size_t entries = 0;
};

// Renders entries 0 to n - 1 with `render` (which appends entry i's text)
// on up to `jobs` processes, this one included, and hands the text to
// `write` in entry order, a run of entries at a time, in this process. A
// worker that cannot be started, or dies, leaves its work to this process.
void render_in_processes(std::size_t n, unsigned jobs, const std::function<void(std::size_t, rendered&)>& render,
                         const std::function<void(const rendered&)>& write);
