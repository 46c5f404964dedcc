// SPDX-License-Identifier: MIT
// Inputs known before any search: what a rule builds, and the records of
// other sizes made to the size wanted. The ceiling tool offers the costliest
// of them; the search starts from them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "records.h"
#include "sortcost/costs.h"

struct known_input {
    std::vector<unsigned char> bytes;
    std::uint64_t cost = 0;  // what the program reports for `bytes`
    bool exact = false;      // no input of this size costs more: proven
    std::string how;
    std::string detail;  // more of how, shown with the input itself, not carried into what is made from it
};

// McIlroy's adversary's input of n elements ("A Killer Adversary for
// Quicksort", 1999): past 256 bytes, the costliest of a few ways of folding
// its values into bytes.
known_input adversary_input(const sortcost::program_info& program, std::size_t n);

// The inputs of n elements a rule builds: the closed form's maximum where
// there is one (exact, and then alone); else the adversary's, and for the
// word order runs of two words 2^31 apart.
std::vector<known_input> constructions(const sortcost::program_info& program, std::size_t n);

// The records of other sizes made to n elements: the nearest smaller grown
// (its last element copied on, its first copied in front, new elements above
// or below all others, its pattern repeated), the nearest larger cut to its
// first n elements, and each of n / 256 to n / 2 elements (and at least 16)
// stretched, element i taken from element i m / n of its m.
std::vector<known_input> from_other_sizes(const sortcost::program_info& program, std::size_t n,
                                          const std::vector<record>& records, const std::string& dir);

// The inputs in the files under `dir` (every file, depth first, names in
// byte order; names beginning with "." passed over), each brought to n
// elements: a shorter one followed by zero bytes, its trailing part of an
// element dropped. False, with `error` saying which file and why, if a file
// cannot be read, holds more than n elements, or `dir` holds none.
bool inputs_in_folder(const sortcost::program_info& program, std::size_t n, const std::string& dir,
                      std::vector<known_input>& out, std::string& error);

// The costliest of `inputs` (the first of a tie, but an exact one first).
known_input costliest_of(const std::vector<known_input>& inputs);
