// SPDX-License-Identifier: MIT
// The costliest input known for a program and a number of elements.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "records.h"
#include "sortcost/costs.h"
#include "starts.h"

// `best`, or where it is not proven and n is at most `search_up_to`, the
// exact maximum found by trying every course of answers.
known_input proven_if_small(const sortcost::program_info& program, std::size_t n, known_input best,
                            std::size_t search_up_to = 8);

// The costliest of the starts gather_starts finds for n from these records
// (every cost recomputed from the bytes), proven_if_small.
known_input costliest(const sortcost::program_info& program, std::size_t n, const std::vector<record>& records,
                      const std::string& records_dir, std::size_t search_up_to = 8);
