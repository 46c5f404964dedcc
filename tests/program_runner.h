// SPDX-License-Identifier: MIT
// Runs a built program as a user would and captures what it reports.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct program_result {
    int status = -1;  // exit status, or -1 if the program did not exit normally
    std::string out;
    std::string err;
};

enum class stdout_to { capture, dev_full, closed };

struct run_options {
    std::uint64_t address_space_limit = 0;  // bytes of address space; 0: no cap
    unsigned time_limit_seconds = 0;         // killed by SIGALRM after this; 0: none
    std::uint64_t file_size_limit = 0;       // bytes any file it writes may hold; 0: no cap
    stdout_to out = stdout_to::capture;
    std::function<void(pid_t)> meanwhile = {};  // called with the program's pid while it runs
};

// Runs `exe` with `args` (argv[0] is `exe` itself) and no standard input.
program_result run_program(const std::string& exe, const std::vector<std::string>& args, run_options opts = {});

// A fresh directory for one test's files, removed with everything in it when
// the object goes away.
struct scratch_dir {
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    // Writes `bytes` to a file named `name` in the directory; returns its path.
    std::string write(const std::string& name, const std::string& bytes) const;
    // Makes a chain of folders from `name` down to one whose path is longer
    // than any the system opens (PATH_MAX), so that listing it fails even for
    // root, as a folder without permission would; returns that path.
    std::string too_deep(const std::string& name) const;
    std::string path;
};

// The whole of the file at `path`, or "" where it cannot be read.
std::string file_text(const std::string& path);

// The rows of a tab-separated table's text, each split into its fields: the
// header line and comment lines (starting with '#') left out.
std::vector<std::vector<std::string>> tsv_rows(const std::string& text);

// `err` without AddressSanitizer's notes that it refused an allocation (it
// then returns null as the C library would); the programs' own lines stay.
std::string without_sanitizer_notes(const std::string& err);

// True when the kernel grants any allocation (vm.overcommit_memory = 1): then
// a file larger than memory does not fail to allocate, it is read until the
// machine runs out, and tests that rely on the failure must skip.
bool kernel_always_overcommits();

// True under AddressSanitizer, which reserves more address space than the
// limits some tests set for a child process.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool address_sanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool address_sanitizer = true;
#else
inline constexpr bool address_sanitizer = false;
#endif
#else
inline constexpr bool address_sanitizer = false;
#endif

// The bytes of `words` as little-endian 4-byte words.
std::string words_bytes(const std::vector<std::uint32_t>& words);

// Command lines and what they give: status, standard output, standard error.
// "@" in an argument or an expected text stands for the test's folder.
struct cli_row {
    std::vector<std::string> args;
    int status;
    std::string out;  // exact, or a prefix when it ends with "..."
    std::string err;
};

// Runs `exe` with each row's arguments and checks what it gives.
void check_rows(const char* exe, const std::vector<cli_row>& rows, const scratch_dir& dir);
