// SPDX-License-Identifier: MIT
// The ceiling tool's inputs, run through the programs: each program must
// report exactly the cost the tool announced.
#include <gtest/gtest.h>

#include <string>

#include "program_runner.h"

namespace {

struct ceiling_case {
    const char* program;
    std::uint64_t n;
    const char* exe;
    bool exact;  // the tool must call its input the exact maximum, or best known
};

class Ceiling : public ::testing::TestWithParam<ceiling_case> {};

// Writes the tool's input and returns the cost it announced.
std::uint64_t announced(const ceiling_case& c, const std::string& path) {
    auto r = run_program(CEILING_PATH, {"write", c.program, std::to_string(c.n), path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(c.exact ? " exact maximum (" : " best known ("), std::string::npos) << r.out;
    auto at = r.out.find(" cost=");
    EXPECT_NE(at, std::string::npos) << r.out;
    return std::stoull(r.out.substr(at + 6));
}

TEST_P(Ceiling, ProgramReportsTheAnnouncedCost) {
    const ceiling_case& c = GetParam();
    scratch_dir dir;
    std::string path = dir.path + "/ceiling.bin";
    std::uint64_t cost = announced(c, path);
    auto r = run_program(c.exe, {path});
    EXPECT_EQ(r.out, "[COST] " + std::to_string(cost) + "\n");
    EXPECT_EQ(r.err, "");

    std::uint64_t n = c.n;
    if (std::string(c.program) == "isort_words") EXPECT_EQ(cost, 2 * n + 4 + n * (n - 1) / 2);
    // The adversary makes the quicksort quadratic.
    if (std::string(c.program) == "qsort_words" && n >= 4096) EXPECT_GE(cost, 45 * n * n / 100);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Ceiling,
    ::testing::Values(ceiling_case{"isort_words", 1, ISORT_WORDS_PATH, true},
                      ceiling_case{"isort_words", 7, ISORT_WORDS_PATH, true},
                      ceiling_case{"isort_words", 1000, ISORT_WORDS_PATH, true},
                      ceiling_case{"qsort_words", 1, QSORT_WORDS_PATH, true},
                      ceiling_case{"qsort_words", 5, QSORT_WORDS_PATH, true},
                      ceiling_case{"qsort_words", 10, QSORT_WORDS_PATH, true},
                      ceiling_case{"qsort_words", 100, QSORT_WORDS_PATH, false},
                      ceiling_case{"qsort_words", 4096, QSORT_WORDS_PATH, false},
                      ceiling_case{"qsort_bytes", 6, QSORT_BYTES_PATH, true},
                      ceiling_case{"qsort_bytes", 256, QSORT_BYTES_PATH, false},
                      ceiling_case{"qsort_bytes", 3000, QSORT_BYTES_PATH, false}),
    [](const auto& info) { return std::string(info.param.program) + "_" + std::to_string(info.param.n); });

TEST(CeilingTool, RefusesWhatItCannotDo) {
    for (auto args : {std::vector<std::string>{}, {"write", "bubble_words", "5", "/dev/null"}, {"exhaustive", "0"},
                      {"exhaustive", "11"}, {"write", "qsort_words", "-3", "/dev/null"}}) {
        auto r = run_program(CEILING_PATH, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("Usage: sortcost-ceiling", 0), 0u) << r.err;
    }
}

// A record is kept only above the one before it, and is exact where the
// search proves it.
TEST(CeilingTool, RecordKeepsOnlyWhatCostsMore) {
    scratch_dir dir;
    std::string records = dir.path + "/records";
    std::string cheap = dir.write("cheap", words_bytes({1, 2, 3}));
    std::string costly = dir.write("costly", words_bytes({0, 2, 0x80000000u}));
    auto first = run_program(CEILING_PATH, {"--records", records, "record", "qsort_words", cheap, "by hand"});
    EXPECT_EQ(first.out, "qsort_words n=3 cost=13 best-known: qsort_words/n00003.bin\n") << first.err;
    auto second = run_program(CEILING_PATH, {"--records", records, "record", "qsort_words", costly, "by hand"});
    EXPECT_EQ(second.out, "qsort_words n=3 cost=37 exact: qsort_words/n00003.bin\n") << second.err;
    auto third = run_program(CEILING_PATH, {"--records", records, "record", "qsort_words", cheap, "by hand"});
    EXPECT_EQ(third.out, "qsort_words n=3 cost=13: not above the record, 37\n");
}

}  // namespace
