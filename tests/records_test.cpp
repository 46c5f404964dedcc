// SPDX-License-Identifier: MIT
// The record inputs, run through the programs: each must cost exactly what
// records.tsv says, and the exact rows must agree with a fresh search.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "program_runner.h"

namespace {

const std::map<std::string, std::string> programs = {
    {"isort_words", ISORT_WORDS_PATH}, {"qsort_words", QSORT_WORDS_PATH}, {"qsort_bytes", QSORT_BYTES_PATH}};

TEST(Records, EachCostsWhatItSays) {
    auto rows = tsv_rows(file_text(std::string(RECORDS_DIR) + "/records.tsv"));
    ASSERT_FALSE(rows.empty());
    // Every size a user may pick has a record for both quicksorts.
    std::set<std::pair<std::string, std::string>> held;
    for (const auto& r : rows) held.insert({r[0], r[1]});
    std::vector<int> sizes = {96, 128, 192, 256, 384, 512, 768, 1024, 1536, 2048, 3072, 4096};
    for (int n = 1; n <= 64; ++n) sizes.push_back(n);
    for (const char* program : {"qsort_words", "qsort_bytes"})
        for (int n : sizes) EXPECT_TRUE(held.count({program, std::to_string(n)})) << program << " " << n;
    for (const auto& r : rows) {
        ASSERT_EQ(r.size(), 7u);
        const auto& [program, elements, bytes, cost, status, method, file] =
            std::tie(r[0], r[1], r[2], r[3], r[4], r[5], r[6]);
        ASSERT_TRUE(programs.count(program)) << program;
        std::string path = std::string(RECORDS_DIR) + "/" + file;
        EXPECT_EQ(std::to_string(std::filesystem::file_size(path)), bytes) << file;
        EXPECT_EQ(std::stoull(bytes), std::stoull(elements) * (program == "qsort_bytes" ? 1 : 4)) << file;
        EXPECT_TRUE(status == "exact" || status == "best-known") << file;
        EXPECT_FALSE(method.empty()) << file;
        auto run = run_program(programs.at(program), {path});
        EXPECT_EQ(run.out, "[COST] " + cost + "\n") << file;
        EXPECT_EQ(run.err, "") << file;
    }
}

TEST(Records, ExactRowsAreTheSearchedMaxima) {
    auto searched = run_program(CEILING_PATH, {"exhaustive", "7"});
    ASSERT_EQ(searched.status, 0) << searched.err;
    std::map<std::pair<std::string, std::string>, std::string> max;
    for (const auto& r : tsv_rows(searched.out)) max[{r[0], r[1]}] = r[2];
    int compared = 0;
    for (const auto& r : tsv_rows(file_text(std::string(RECORDS_DIR) + "/records.tsv"))) {
        auto it = max.find({r[0], r[1]});
        if (it == max.end()) continue;
        EXPECT_EQ(r[4], "exact") << r[0] << " " << r[1];
        EXPECT_EQ(r[3], it->second) << r[0] << " " << r[1];
        ++compared;
    }
    EXPECT_EQ(compared, 21);
}

}  // namespace
