// SPDX-License-Identifier: MIT
// The record inputs: the costliest input known for each program and size,
// with how it was found, in records.tsv beside the input files.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "sortcost/costs.h"
#include "tsv.h"

// What a record's cost is: the maximum for its size, proven, or the most
// found so far.
enum class record_status { exact, best_known };

// As records.tsv spells it: "exact" or "best-known"; and back (false for
// any other text).
const char* status_name(record_status s);
bool parse_status(const std::string& text, record_status& out);

struct record {
    const sortcost::program_info* program = nullptr;
    std::uint64_t elements = 0;
    std::uint64_t bytes = 0;
    std::uint64_t cost = 0;
    record_status status = record_status::best_known;
    std::string method;  // how it was found
    std::string file;    // relative to the records folder
};

extern const tsv_format records_format;

// records.tsv as it stands: every line kept as written, and the rows parsed
// (rows[i] is table.rows[i]).
struct records_file {
    tsv_table table;
    std::vector<record> rows;
};

// Reads `dir`/records.tsv whole. A folder without one holds no records. A
// table that is not whole (see parse_tsv), a row whose program is unknown,
// whose numbers are not whole numbers or disagree, whose status is neither
// exact nor best-known, whose method is empty, whose file is not inside the
// folder, or a second row for one program and size: refused, false with
// `error` naming the file and line.
bool load_records(const std::string& dir, records_file& out, std::string& error);

// The record for `program` and n elements, or null.
const record* find_record(const std::vector<record>& rows, const sortcost::program_info& program, std::uint64_t n);

// The input bytes of a record; empty if its file cannot be read.
std::vector<unsigned char> record_bytes(const std::string& dir, const record& r);

// Where the records are when none is named. Installed, the user's own folder
// ($XDG_DATA_HOME/sortcost/records, by default ~/.local/share/sortcost/records)
// once it exists, else the installed one (PREFIX/share/sortcost/records);
// in a build tree, the source tree's.
std::string default_records_dir();

// The folder `record` writes to when none is named: as default_records_dir,
// but an installed program makes the user's own folder, starting from a
// whole copy of the installed records. False, with `error`, if it cannot
// (and then no folder of one's own is left behind).
bool writable_records_dir(std::string& dir, std::string& error);

// Stores `bytes` (whole elements of `program`, costing `cost`) as the record
// for its size in `dir` if it costs more than the record there (or as much,
// where that record is best known and this one is proven exact), under the
// folder's lock, each file replaced whole, every other line of records.tsv
// kept, and the old record's file removed unless another row names it.
// `judge` is asked only when it may be: it sets whether the cost is proven
// the maximum, or refuses (false, with a reason in `message`). Returns
// exit_failure with `message` naming what failed, else 0 with `message`
// saying what was done; `kept` tells whether the input became the record.
int store_record(const sortcost::program_info& program, const std::vector<unsigned char>& bytes, std::uint64_t cost,
                 std::string method, const std::string& dir,
                 const std::function<bool(bool& exact, std::string& why)>& judge, std::string& message,
                 bool* kept = nullptr);
