// SPDX-License-Identifier: MIT
// The tab-separated tables the tools read and write: records.tsv, the
// outputs of exhaustive and merge, the rows of sortcost-score. A table is a
// header naming its columns, then rows of exactly that many fields; lines
// that begin with '#' are comments, kept as written, and so is the header
// again (outputs put one after the other). Fields are escaped so
// that any text stays one field of one line: backslash, tab, newline and
// carriage return are written \\, \t, \n and \r. Each format declares its
// columns once, as a tsv_format beside the code that owns it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct tsv_format {
    std::vector<std::string> columns;
};

// `text` as one field.
std::string tsv_escape(const std::string& text);

// One line: the fields escaped, joined by tabs, and a newline.
std::string tsv_line(const std::vector<std::string>& fields);

// The header line of `format`.
std::string tsv_header(const tsv_format& format);

struct tsv_row {
    std::size_t line;                 // its number in the file, from 1
    std::vector<std::string> fields;  // unescaped, one per column
};

struct tsv_table {
    std::vector<std::string> lines;  // every line as written, the header first
    std::vector<tsv_row> rows;
};

// Parses `text`, read from `name`, as a table of `format`. False, with
// `error` naming the file and line ("NAME:LINE: REASON"), for anything but
// the header, comments and whole rows: a missing or different header, a
// row with more or fewer fields, a bad escape, a last line without its
// newline (a file cut short).
bool parse_tsv(const std::string& name, const std::string& text, const tsv_format& format, tsv_table& out,
               std::string& error);

// Reads the regular file at `path` and parses it as above; a FIFO, a device,
// a folder or an empty file is refused, never waited on.
bool read_tsv(const std::string& path, const tsv_format& format, tsv_table& out, std::string& error);


