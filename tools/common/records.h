// SPDX-License-Identifier: MIT
// The record inputs: the costliest input known for each program and size,
// with how it was found, in records.tsv beside the input files.
#pragma once

#include <cstdint>
#include <functional>
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

// records.tsv as it stands: every line kept as written (the header, `#`
// comments, rows), and the rows parsed.
struct records_file {
    std::vector<std::string> lines;
    std::vector<record> rows;
    std::vector<std::size_t> row_lines;  // the line of each row
};

// Reads `dir`/records.tsv whole. A folder without one holds no records. Any
// line that is neither the header, a `#` comment nor a whole row is refused:
// false, with `error` naming the file and line.
bool load_records(const std::string& dir, records_file& out, std::string& error);

// The file's text with `r` in place of the row for its program and size, or
// added among the rows in order of program and size; every other line as it
// was.
std::string with_record(const records_file& f, const record& r);

// The input bytes of a record.
std::vector<unsigned char> record_bytes(const std::string& dir, const record& r);

// Where the records are when none is named. Installed, the user's own folder
// ($XDG_DATA_HOME/sortcost/records, by default ~/.local/share/sortcost/records)
// once it exists, else the installed one (PREFIX/share/sortcost/records);
// in a build tree, the source tree's.
std::string default_records_dir();

// Stores `bytes` (whole elements of `program`, costing `cost`, read from
// `source`) as the record for its size in `dir` if it costs more than the
// record there (or as much, where that record is best known and this one is
// proven exact), under the folder's lock, each file replaced whole, every
// other line of records.tsv kept. `judge` is asked only when it may be: it
// sets whether the cost is proven the maximum, or refuses (false, with a
// reason in `message`). Returns exit_failure with `message` naming what
// failed, else 0 with `message` saying what was done.
int store_record(const std::string& program, const std::vector<unsigned char>& bytes, std::uint64_t cost,
                 std::string method, const std::string& dir, const std::function<bool(bool& exact, std::string& why)>& judge,
                 std::string& message);

// The folder `record` writes to when none is named: as default_records_dir,
// but an installed program makes the user's own folder, starting from a copy
// of the installed records. False, with `error`, if it cannot.
bool writable_records_dir(std::string& dir, std::string& error);
