// SPDX-License-Identifier: MIT
// A corpus's costs: each file read as the programs read their input, and the
// cost of each program asked for, scored by the worker pool.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "corpus.h"
#include "pool.h"
#include "sortcost/costs.h"

struct score_row {
    std::string path;
    bool readable = false;  // else `bytes` is unknown, and every cost is 2
    std::uint64_t bytes = 0;
    std::uint64_t costs[sortcost::program_count] = {};  // indexed as sortcost::programs
    // The step that failed, with its error number: a read step of an
    // unreadable file, or "buf" for a cost that could not be computed (no
    // memory for the sorting copy; that cost is then 0). Empty for none.
    std::string failed_step;
    int error = 0;
};

// What a read that ends early (fread with no error number) is called.
inline constexpr const char* short_read = "empty, or shorter than its size";

// The row of the file at `path`, with the costs of the programs whose
// indices (into sortcost::programs) are in `columns`; the others stay 0.
score_row score_file(const std::string& path, const std::vector<std::size_t>& columns);

// "STEP: REASON" for a row with a failed step. Not thread-safe (strerror).
std::string read_error(const score_row& row);

// Scores every path of `entries` on up to `jobs` workers of `kind`, each
// holding one file at a time, and calls `emit` on the calling thread for each
// entry in order: with its row, or with null for a directory that could not
// be listed. The rows are those one worker gives, whatever `jobs` and `kind`.
void score_corpus(const std::vector<corpus_entry>& entries, const std::vector<std::size_t>& columns, unsigned jobs,
                  worker_kind kind, const std::function<void(const corpus_entry&, const score_row*)>& emit);
