// SPDX-License-Identifier: MIT
// The TSV unit: what it takes as a whole table, what it refuses and why,
// and that escaping gives back every text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tsv.h"

namespace {

const tsv_format two{{"a", "b"}};

struct parse_case {
    const char* text;
    const char* error;  // empty: parsed; else the reason after "t.tsv:"
    std::size_t rows;
};

TEST(Tsv, ParsesWholeTablesAndRefusesTheRest) {
    const std::vector<parse_case> cases = {
        {"a\tb\n", "", 0},
        {"a\tb\n1\t2\n", "", 1},
        {"a\tb\n# a comment\n1\t2\na\tb\n3\t4\n", "", 2},  // comments and a repeated header kept
        {"a\tb\n\\t\t\\\\\n", "", 1},
        {"a\tb\n\n", "t.tsv:2: a row has 2 tab-separated fields, this has 1", 0},
        {"", "t.tsv: empty, where a table with the header was expected", 0},
        {"a\tc\n", "t.tsv:1: the first line must be the header: a\tb", 0},
        {"a\tb\n1\t2", "t.tsv: the last line has no newline: the file is cut short", 0},
        {"a\tb\n1\t2\n3\n", "t.tsv:3: a row has 2 tab-separated fields, this has 1", 0},
        {"a\tb\n1\t2\t3\n", "t.tsv:2: a row has 2 tab-separated fields, this has 3", 0},
        {"a\tb\n1\t\\x\n", "t.tsv:2: a backslash that starts no escape (\\\\, \\t, \\n or \\r)", 0},
    };
    for (const parse_case& c : cases) {
        tsv_table t;
        std::string error;
        const bool ok = parse_tsv("t.tsv", c.text, two, t, error);
        EXPECT_EQ(ok, std::string(c.error).empty()) << c.text;
        if (ok)
            EXPECT_EQ(t.rows.size(), c.rows) << c.text;
        else
            EXPECT_EQ(error, c.error);
    }
}

TEST(Tsv, EscapingGivesBackEveryText) {
    for (const std::string text : {"", "plain", "tab\there", "line\nbreak", "back\\slash", "cr\r", "\\t", "\t\n\r\\"}) {
        const std::string line = tsv_line({text, "x"});
        EXPECT_EQ(line.find('\n'), line.size() - 1) << "one line";
        tsv_table t;
        std::string error;
        ASSERT_TRUE(parse_tsv("t", tsv_header(two) + line, two, t, error)) << error;
        ASSERT_EQ(t.rows.size(), 1u);
        EXPECT_EQ(t.rows[0].fields[0], text);
        EXPECT_EQ(t.rows[0].line, 2u);
    }
}

}  // namespace
