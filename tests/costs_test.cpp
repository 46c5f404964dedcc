// A fixed table of inputs and the costs each benchmark must report for them,
// through the programs and through the in-process entry points alike. Every
// build (compiler, optimisation level, sanitizers) runs it, so a cost that
// changed with the build fails here.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "driver.h"
#include "isort.h"
#include "program_runner.h"

namespace {

// The table's inputs come from splitmix64, which every platform computes alike.
std::string generate(const std::string& shape, std::size_t n) {
    std::uint64_t state = n * 0x100 + shape.size();
    auto next = [&state] {
        std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    };
    const std::string pangram = "the quick brown fox jumps over the lazy dog\n";
    std::string out;
    if (shape == "random" || shape == "few" || shape == "text") {
        for (std::size_t i = 0; i < n; ++i)
            out += static_cast<char>(shape == "random" ? next() & 0xFF : shape == "few" ? next() % 3 : pangram[i % pangram.size()]);
        return out;
    }
    std::size_t w = n / 4;
    std::vector<std::uint32_t> words(w);
    for (std::size_t i = 0; i < w; ++i) {
        if (shape == "ascending") words[i] = static_cast<std::uint32_t>(i);
        else if (shape == "descending") words[i] = static_cast<std::uint32_t>(w - i);
        else if (shape == "organ") words[i] = static_cast<std::uint32_t>(std::min(i, w - i));
        else if (shape == "wide") words[i] = static_cast<std::uint32_t>(next());  // top bit and wrapped order
    }
    return words_bytes(words) + std::string(n % 4, '\xab');
}

struct cost_row {
    std::string shape;
    std::size_t size;
    std::uint64_t isort_words, qsort_words, qsort_bytes;
};

// data/costs.tsv: shape, input bytes, then the three programs' costs,
// computed once with an independent model of the cost rules.
std::vector<cost_row> load_table() {
    std::ifstream in(COSTS_TABLE_PATH);
    std::string header;
    std::getline(in, header);
    std::vector<cost_row> rows;
    cost_row r;
    while (in >> r.shape >> r.size >> r.isort_words >> r.qsort_words >> r.qsort_bytes) rows.push_back(r);
    return rows;
}

const std::vector<cost_row> table = load_table();

TEST(CostTable, IsComplete) { EXPECT_EQ(table.size(), 92u); }

class Costs : public ::testing::TestWithParam<cost_row> {};

TEST_P(Costs, EntryPointsMatchTheTable) {
    const cost_row& r = GetParam();
    std::string in = generate(r.shape, r.size);
    auto* data = reinterpret_cast<const unsigned char*>(in.data());
    EXPECT_EQ(isort_words_cost(data, in.size()), r.isort_words);
    EXPECT_EQ(qsort_words_cost(data, in.size()), r.qsort_words);
    EXPECT_EQ(qsort_bytes_cost(data, in.size()), r.qsort_bytes);
}

TEST_P(Costs, ProgramsMatchTheTable) {
    const cost_row& r = GetParam();
    scratch_dir dir;
    std::string path = dir.write("in", generate(r.shape, r.size));
    auto report = [](std::uint64_t cost) { return "[COST] " + std::to_string(cost) + "\n"; };
    EXPECT_EQ(run_program(ISORT_WORDS_PATH, {path}).out, report(r.isort_words));
    EXPECT_EQ(run_program(QSORT_WORDS_PATH, {path}).out, report(r.qsort_words));
    EXPECT_EQ(run_program(QSORT_BYTES_PATH, {path}).out, report(r.qsort_bytes));
}

INSTANTIATE_TEST_SUITE_P(Table, Costs, ::testing::ValuesIn(table), [](const auto& info) {
    return info.param.shape + "_" + std::to_string(info.param.size);
});

}  // namespace
