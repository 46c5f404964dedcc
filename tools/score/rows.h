// sortcost-score's output: tab-separated values with a header row, or JSON
// Lines, one row per file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class program { isort_words, qsort_words, qsort_bytes };

// The program's name as a user types it, and back; false for no such name.
const char* program_name(program p);
bool program_named(const std::string& name, program& p);

struct score_row {
    std::string path;
    bool readable = false;       // else `bytes` is unknown and `error` says why
    std::uint64_t bytes = 0;
    std::uint64_t costs[3] = {};  // indexed by program
    std::string error;            // "STEP: REASON" for a file that cannot be read
};

struct row_format {
    bool json = false;
    std::vector<program> columns;
};

// The header row (TSV only; JSON Lines have none).
void print_header(std::FILE* out, const row_format& format);
void print_row(std::FILE* out, const row_format& format, const score_row& row);
