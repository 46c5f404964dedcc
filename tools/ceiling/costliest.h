// SPDX-License-Identifier: MIT
// The costliest input known for a program and a number of elements.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "records.h"

struct ceiling_input {
    std::vector<unsigned char> bytes;
    std::uint64_t cost = 0;  // what the program reports for `bytes`
    bool exact = false;      // no input of this size costs more: proven
    std::string how;
};

// McIlroy's adversary's input of n elements (words, or bytes for qsort_bytes;
// past 256 bytes, the costliest of a few ways of folding its values into
// bytes).
ceiling_input adversary_input(const std::string& program, std::size_t n);

// The costliest input of n elements (words, or bytes for qsort_bytes) that a
// rule builds: for isort_words, distinct words in descending order (exact);
// for qsort_words, McIlroy's adversary or runs of two words 2^31 apart; for
// qsort_bytes, the adversary, or past 256 elements the costliest of a few
// ways of folding its values into bytes.
ceiling_input construction(const std::string& program, std::size_t n);

// The costliest of: the construction, every record for n elements, with
// `grow` and no record for n, the nearest smaller record grown to n and
// searched from briefly, every record of n/256 to n/2 elements stretched to
// n, and for at most `search_up_to` elements with no
// exact record, the exact maximum found by search. Every cost is recomputed
// from the bytes.
ceiling_input costliest(const std::string& program, std::size_t n, const std::vector<record>& records,
                        const std::string& records_dir, std::size_t search_up_to = 8, bool grow = true);
