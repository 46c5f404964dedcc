// SPDX-License-Identifier: MIT
// The costliest input known for a program and a number of elements.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "records.h"
#include "sortcost/costs.h"
#include "starts.h"

// The costliest of: the constructions, the record for n, the records of
// other sizes made to n, and for at most `search_up_to` elements with no
// exact record, the exact maximum found by trying every course of answers.
// Every cost is recomputed from the bytes.
known_input costliest(const sortcost::program_info& program, std::size_t n, const std::vector<record>& records,
                      const std::string& records_dir, std::size_t search_up_to = 8);
