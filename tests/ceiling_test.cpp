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
};

class Ceiling : public ::testing::TestWithParam<ceiling_case> {};

// Writes the tool's input and returns the cost it announced.
std::uint64_t announced(const ceiling_case& c, const std::string& path) {
    auto r = run_program(CEILING_PATH, {"write", c.program, std::to_string(c.n), path});
    EXPECT_EQ(r.status, 0) << r.err;
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
    ::testing::Values(ceiling_case{"isort_words", 1, ISORT_WORDS_PATH}, ceiling_case{"isort_words", 7, ISORT_WORDS_PATH},
                      ceiling_case{"isort_words", 1000, ISORT_WORDS_PATH},
                      ceiling_case{"qsort_words", 1, QSORT_WORDS_PATH}, ceiling_case{"qsort_words", 5, QSORT_WORDS_PATH},
                      ceiling_case{"qsort_words", 100, QSORT_WORDS_PATH},
                      ceiling_case{"qsort_words", 4096, QSORT_WORDS_PATH},
                      ceiling_case{"qsort_bytes", 6, QSORT_BYTES_PATH}, ceiling_case{"qsort_bytes", 256, QSORT_BYTES_PATH},
                      ceiling_case{"qsort_bytes", 3000, QSORT_BYTES_PATH}),
    [](const auto& info) { return std::string(info.param.program) + "_" + std::to_string(info.param.n); });

TEST(CeilingTool, RefusesWhatItCannotDo) {
    for (auto args : {std::vector<std::string>{}, {"write", "bubble_words", "5", "/dev/null"}, {"exhaustive", "11"}}) {
        auto r = run_program(CEILING_PATH, args);
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err.rfind("Usage: sortcost-ceiling", 0), 0u) << r.err;
    }
}

}  // namespace
