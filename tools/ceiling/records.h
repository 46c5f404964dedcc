// SPDX-License-Identifier: MIT
// The record inputs: the costliest input known for each program and size,
// with how it was found, in records/records.tsv beside the input files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct record {
    std::string program;
    std::uint64_t elements = 0;
    std::uint64_t bytes = 0;
    std::uint64_t cost = 0;
    std::string status;  // "exact" (the maximum for its size, proven) or "best-known"
    std::string method;  // how it was found
    std::string file;    // relative to the records folder
};

// The records in `dir`/records.tsv; none when there is no such file.
std::vector<record> read_records(const std::string& dir);

// Rewrites `dir`/records.tsv with these rows, by program and size.
bool write_records(const std::string& dir, std::vector<record> records);

// The input bytes of a record.
std::vector<unsigned char> record_bytes(const std::string& dir, const record& r);

// Where the records are when none is named: installed with the program
// (PREFIX/share/sortcost/records), else this source tree's records folder.
std::string default_records_dir();
