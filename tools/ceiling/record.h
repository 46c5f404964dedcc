// SPDX-License-Identifier: MIT
// sortcost-ceiling record: keeps an input as the record for its size when it
// costs more, marked exact where that is proven.
#pragma once

#include <string>

#include "sortcost/costs.h"

// record proves a record exact by search up to this many elements (a few
// seconds on two cores); past that, with the exact row of `proof`, a stored
// exhaustive or merge output.
inline constexpr int record_proves_up_to = 11;

// Reads `path` as the programs read their input and stores its whole
// elements as the record in `records_dir` if they cost more; prints what was
// done. Returns the exit status, after a diagnostic on failure.
int record_command(const char* prog, const sortcost::program_info& program, const std::string& path,
                   const std::string& method, const std::string& records_dir, const std::string& proof);
