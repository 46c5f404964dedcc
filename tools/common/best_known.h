// SPDX-License-Identifier: MIT
// The one way to the costliest input known, for `sortcost-search` and
// `sortcost-ceiling write` alike: gather the starts, cost each again from its
// bytes, anneal from them, and say where the best came from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "anneal.h"
#include "records.h"
#include "starts.h"

// Which inputs a search starts from.
struct start_plan {
    const std::vector<record>* records = nullptr;  // none: no record is used
    std::string records_dir;                       // where their files are
    bool fresh = false;                            // the constructions, not the records
    std::vector<known_input> given;                // these alone (with `fresh`, the constructions too)
};

// The starts for n elements, each costed again from its bytes, costliest
// first (an exact one first among equals; otherwise in the order below):
// the given inputs, if any (and with `fresh`, or where a closed form gives
// the maximum, the constructions); else the
// constructions, and unless `fresh`, the record for n (exact where its row
// says so and its cost is what the row says) and the records of other
// sizes made to n.
std::vector<known_input> gather_starts(const sortcost::program_info& program, std::size_t n, const start_plan& plan);

struct best_known {
    known_input input;     // the costliest found, with how it was found
    search_result search;  // the walk's counts; zero where none was needed
};

// The costliest of `starts` (gather_starts' order), then, unless it is
// proven the maximum or `o` sets no stop, annealed from all of them as `o`
// says (o.starts is
// set here; each thread begins at the costliest of its share). `how` says
// which start the best came from, and the search that improved on it.
best_known search_from(search_options o, const std::vector<known_input>& starts,
                       const std::function<void(const search_result&)>& progress);

// "PROGRAM n=N cost=C exact maximum (HOW)", or "best known", with a newline.
std::string result_line(const sortcost::program_info& program, std::size_t n, const known_input& input);
