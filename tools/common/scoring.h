// SPDX-License-Identifier: MIT
// A corpus's costs: each file read as the programs read their input, and the
// cost of each program asked for, scored on several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "corpus.h"
#include "sortcost/costs.h"

struct score_row {
    std::string path;
    bool readable = false;  // else `bytes` is unknown and `failed_step`, `error` say why
    std::uint64_t bytes = 0;
    std::uint64_t costs[sortcost::program_count] = {};  // indexed as sortcost::programs
    const char* failed_step = nullptr;
    int error = 0;  // the failed step's error number
};

// The row of the file at `path`, with the costs of the programs whose
// indices (into sortcost::programs) are in `columns`; the others stay 0.
score_row score_file(const std::string& path, const std::vector<std::size_t>& columns);

// "STEP: REASON" for a row that could not be read. Not thread-safe (strerror).
std::string read_error(const score_row& row);

// Scores every path of `entries` on up to `jobs` threads, each holding one
// file at a time, and calls `emit` on the calling thread for each entry in
// order: with its row, or with null for a directory that could not be listed.
// The rows are those one thread would give, whatever `jobs` is.
void score_corpus(const std::vector<corpus_entry>& entries, const std::vector<std::size_t>& columns,
                  unsigned jobs, const std::function<void(const corpus_entry&, const score_row*)>& emit);

// The number of cores this process may run on, at least 1.
unsigned available_cores();
