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

// Exit statuses.
inline constexpr int exit_failure = 1;  // a file could not be read or written
inline constexpr int exit_usage = 2;    // a bad command line

struct cli_option {
    const char* name;        // "--program"
    char short_name;         // 'j', or 0
    bool takes_value;
};

// A command line taken apart: the options in the order given, with their
// values, and the operands.
struct cli_args {
    std::vector<std::pair<std::string, std::string>> options;  // long name, value
    std::vector<std::string> operands;
};

// Parses argv against `options`. Handles --help and --version itself
// (returning `handled` set to the exit status); on a usage error prints it
// and sets `handled` to exit_usage. `handled` is -1 when the tool goes on.
cli_args parse_cli(int argc, char** argv, const char* prog, const char* help, const std::vector<cli_option>& options,
                   int& handled);

// Prints "PROG: REASON" and "Try 'PROG --help'." on standard error; returns
// exit_usage.
int usage_error(const char* prog, const std::string& reason);

// A whole number from `min` to `max`, written in decimal, into `out`; false
// for anything else.
bool parse_count(const std::string& s, std::uint64_t min, std::uint64_t max, std::uint64_t& out);

// Flushes standard output; false once it has failed (the first reason is
// kept for finish_output).
bool flush_output();

// Flushes standard output; if it cannot be written, says so on standard
// error and returns exit_failure, else `status`.
int finish_output(const char* prog, int status);

// A path as one line of text: backslash, tab, newline and carriage return
// written as \\, \t, \n and \r (as in the tools' tab-separated output).
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
