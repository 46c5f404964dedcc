// SPDX-License-Identifier: MIT
// The command-line unit: whole numbers in range, options in every spelling,
// and what stops a tool at once.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli.h"

namespace {

TEST(Cli, CountsAreWholeNumbersInRange) {
    struct row {
        const char* text;
        bool ok;
        std::uint64_t value;
    };
    const std::vector<row> rows = {
        {"0", true, 0},   {"7", true, 7},     {"10", true, 10},     {"9999999999999999999", true, 9999999999999999999u},
        {"11", false, 0}, {"", false, 0},     {"-1", false, 0},     {"+1", false, 0},
        {" 1", false, 0}, {"1 ", false, 0},   {"1.0", false, 0},    {"0x1", false, 0},
        {"18446744073709551615", false, 0},   {"99999999999999999999999", false, 0},  // 20 digits and more
    };
    for (const row& r : rows) {
        std::uint64_t out = 12345;
        const std::uint64_t max = std::string(r.text).size() > 2 ? UINT64_MAX : 10;
        EXPECT_EQ(parse_count(r.text, 0, max, out), r.ok) << '"' << r.text << '"';
        if (r.ok) EXPECT_EQ(out, r.value) << r.text;
    }
}

TEST(Cli, OptionsInEverySpelling) {
    const std::vector<cli_option> options = {{"--jobs", 'j', cli_option::count, 1, 8},
                                             {"--out", 0, cli_option::text},
                                             {"--fresh", 0, cli_option::flag}};
    struct row {
        std::vector<std::string> argv;
        int handled;
        std::uint64_t jobs;
        std::string out;
        std::vector<std::string> operands;
    };
    const std::vector<row> rows = {
        {{"a", "b"}, -1, 0, "", {"a", "b"}},
        {{"--jobs", "3", "a"}, -1, 3, "", {"a"}},
        {{"--jobs=4", "a"}, -1, 4, "", {"a"}},
        {{"-j5", "a"}, -1, 5, "", {"a"}},
        {{"a", "-j", "6"}, -1, 6, "", {"a"}},            // options after operands
        {{"-j", "2", "-j", "7"}, -1, 7, "", {}},          // the last one given
        {{"--out", "x", "--", "--fresh"}, -1, 0, "x", {"--fresh"}},  // after "--", operands
        {{"--out="}, -1, 0, "", {}},
        {{"--jobs", "0"}, exit_usage, 0, "", {}},
        {{"--jobs", "9"}, exit_usage, 0, "", {}},
        {{"--jobs"}, exit_usage, 0, "", {}},
        {{"--fresh=1"}, exit_usage, 0, "", {}},
        {{"--frobnicate"}, exit_usage, 0, "", {}},
        {{"-x"}, exit_usage, 0, "", {}},
        {{"--help"}, 0, 0, "", {}},
        {{"--version"}, 0, 0, "", {}},
    };
    for (const row& r : rows) {
        std::vector<std::string> words = {"prog"};
        words.insert(words.end(), r.argv.begin(), r.argv.end());
        std::vector<char*> argv;
        for (std::string& w : words) argv.push_back(w.data());
        argv.push_back(nullptr);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const cli_args a = parse_cli(static_cast<int>(words.size()), argv.data(), "prog", "help\n", options);
        testing::internal::GetCapturedStdout();
        const std::string err = testing::internal::GetCapturedStderr();
        const std::string line = r.argv.empty() ? "" : r.argv[0];
        EXPECT_EQ(a.handled, r.handled) << line << ": " << err;
        if (r.handled != -1) {
            EXPECT_EQ(err.empty(), r.handled == 0) << line << ": a usage error is said, --help is not";
            continue;
        }
        EXPECT_EQ(a.count("--jobs", 0), r.jobs) << line;
        EXPECT_EQ(a.text("--out"), r.out) << line;
        EXPECT_EQ(a.operands, r.operands) << line;
    }
}

TEST(Cli, PathsStayOneLine) {
    EXPECT_EQ(escaped_path("a/b c"), "a/b c");
    EXPECT_EQ(escaped_path("a\tb\nc\\"), "a\\tb\\nc\\\\");
}

}  // namespace
