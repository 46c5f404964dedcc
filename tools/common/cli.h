// SPDX-License-Identifier: MIT
// The sortcost tools' command-line convention, in one place: --help on
// standard output with status 0, --version, options anywhere before "--",
// usage errors as "PROG: REASON" and "Try 'PROG --help'." with status 2,
// status 1 when standard output cannot be written; and what the tools print
// on a terminal or about paths.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sortcost/costs.h"

// Exit statuses.
inline constexpr int exit_failure = 1;  // a file could not be read or written
inline constexpr int exit_usage = 2;    // a bad command line

struct cli_option {
    enum kind_t { flag, text, count };
    const char* name;  // "--threads"
    char short_name;   // 'j', or 0
    kind_t kind;
    std::uint64_t min = 0, max = 0;  // a count's range
};

struct cli_value {
    const char* name;  // the option's long name, as in its cli_option
    std::string text;
    std::uint64_t count = 0;  // for a count
};

// A command line taken apart: the options in the order given, with their
// values, and the operands.
struct cli_args {
    std::vector<cli_value> given;
    std::vector<std::string> operands;
    // The exit status when the tool must stop at once (--help, --version, a
    // usage error, which has been printed), else -1.
    int handled = -1;

    bool has(const char* name) const;
    // The last value given for option `name`, or `fallback`.
    std::string text(const char* name, const std::string& fallback = "") const;
    std::uint64_t count(const char* name, std::uint64_t fallback) const;
    // Every value given for `name`, in order.
    std::vector<std::string> all(const char* name) const;
};

// Parses argv against `options`: --name, --name=value, --name value; -x,
// -xVALUE, -x VALUE; options anywhere before "--", operands after it. A count
// must be a whole number in its range ("--threads must be a whole number from
// 1 to 1024, not '0'"). Handles --help and --version itself.
cli_args parse_cli(int argc, char** argv, const char* prog, const char* help, const std::vector<cli_option>& options);

// Prints "PROG: REASON" and "Try 'PROG --help'." on standard error; returns
// exit_usage.
int usage_error(const char* prog, const std::string& reason);

// Prints "PROG: WHAT" on standard error; returns exit_failure.
int fail(const char* prog, const std::string& what);

// A whole number from `min` to `max`, written in decimal, into `out`; false
// for anything else (an empty text, a sign, a space, too many digits).
bool parse_count(const std::string& s, std::uint64_t min, std::uint64_t max, std::uint64_t& out);

// Operand `s`, named `what`, as a whole number from `min` to `max`; else
// prints the usage error and returns false.
bool count_operand(const char* prog, const char* what, const std::string& s, std::uint64_t min, std::uint64_t max,
                   std::uint64_t& out);

// The program called `name`; else prints the usage error ("no such program:
// 'X' (isort_words, qsort_words or qsort_bytes)") and returns null.
const sortcost::program_info* program_operand(const char* prog, const std::string& name);

// 0 if `path`, given with `option`, is a folder; else prints "PROG: OPTION
// PATH: REASON" and returns exit_failure.
int check_folder(const char* prog, const char* option, const std::string& path);


// Flushes standard output; false once it has failed (the first reason is
// kept for finish_output).
bool flush_output();

// Flushes standard output; if it cannot be written, says so on standard
// error and returns exit_failure, else `status`.
int finish_output(const char* prog, int status);

// A path as one line of text, for diagnostics and rows: escaped as a
// tab-separated field is (tsv.h).
std::string escaped_path(const std::string& path);

// A line of progress on standard error, shown only on a terminal, from the
// first second on, at most five times a second.
struct progress_line {
    progress_line();
    // Shows `text` (if it is time to); the line is rewritten in place.
    void show(const std::string& text);
    // Clears the line, before a diagnostic or at the end.
    void clear();

private:
    bool enabled_;
    bool shown_ = false;
    double start_;
    double last_ = 0;
};
