// SPDX-License-Identifier: MIT
// A fixed table of inputs and the costs each benchmark must report for them,
// through the programs and through the in-process entry points alike. Every
// build (compiler, optimisation level, sanitizers) runs it, so a cost that
// changed with the build fails here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "Hooks.h"
#include "kinds.h"
#include "gnuqsort.h"
#include "isort.h"
#include "program_runner.h"
#include "sortcost/costs.h"

using namespace sortcost;

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
    if (shape.rfind("hex:", 0) == 0) {
        // An input written out byte by byte, for cases no shape reaches.
        for (std::size_t i = 4; i + 1 < shape.size(); i += 2)
            out += static_cast<char>(std::stoi(shape.substr(i, 2), nullptr, 16));
        return out;
    }
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
        // Quarter turns plus 0 or 1: many pairs exactly 2^31 apart, where each
        // word orders before the other and argument order shows in the cost.
        else if (shape == "halves") {
            auto quarter = static_cast<std::uint32_t>(next() % 4) << 30;
            words[i] = quarter | static_cast<std::uint32_t>(next() % 2);
        }
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

TEST(CostTable, IsComplete) { EXPECT_EQ(table.size(), 107u); }

class Costs : public ::testing::TestWithParam<cost_row> {};

TEST_P(Costs, EntryPointsMatchTheTable) {
    const cost_row& r = GetParam();
    std::string in = generate(r.shape, r.size);
    auto* data = reinterpret_cast<const unsigned char*>(in.data());
    EXPECT_EQ(isort_words_cost(data, in.size()), r.isort_words);
    EXPECT_EQ(qsort_words_cost(data, in.size()), r.qsort_words);
    EXPECT_EQ(qsort_bytes_cost(data, in.size()), r.qsort_bytes);

    // The word sort called through a plain function pointer takes the
    // element-by-element paths of the sort, which must cost the same.
    std::vector<std::uint32_t> elems(in.size() / 4);
    if (!elems.empty()) std::memcpy(elems.data(), data, elems.size() * 4);
    std::uint64_t before = cost_read();
    gnu_quicksort(elems.data(), elems.size(), 4, &words::cmp, nullptr);
    if (!in.empty()) EXPECT_EQ(3 + cost_read() - before, r.qsort_words);
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

// What the C interface returns where no cost can be computed: 0 (no input
// costs 0) with errno set, or, for more words than isort_words takes, the 2
// the program reports, with errno EFBIG. None of these reads the data.
TEST(CInterface, CallsWithoutACost) {
    const unsigned char small[8] = {};
    const std::size_t too_many_words = (std::size_t{INT32_MAX} + 1) * 4;
    struct row {
        std::uint64_t (*cost)(const void*, std::size_t);
        const void* data;
        std::size_t size;
        std::uint64_t expected;
        int err;
    };
    for (row r : {row{sortcost_qsort_words_cost, nullptr, 0, 2, 0}, {sortcost_isort_words_cost, nullptr, 0, 2, 0},
                  {sortcost_qsort_bytes_cost, nullptr, 5, 0, EINVAL}, {sortcost_isort_words_cost, nullptr, 8, 0, EINVAL},
                  {sortcost_isort_words_cost, small, too_many_words, 2, EFBIG},
                  {sortcost_qsort_words_cost, small, SIZE_MAX / 2, 0, ENOMEM},
                  {sortcost_qsort_bytes_cost, small, SIZE_MAX / 2, 0, ENOMEM}}) {
        errno = 0;
        EXPECT_EQ(r.cost(r.data, r.size), r.expected) << r.size;
        EXPECT_EQ(errno, r.err) << r.size;
    }
    EXPECT_STREQ(sortcost_version(), (std::to_string(SORTCOST_VERSION_MAJOR) + "." + std::to_string(SORTCOST_VERSION_MINOR) +
                                      "." + std::to_string(SORTCOST_VERSION_PATCH)).c_str());
}

INSTANTIATE_TEST_SUITE_P(Table, Costs, ::testing::ValuesIn(table), [](const auto& info) {
    std::string name = info.param.shape + "_" + std::to_string(info.param.size);
    std::replace(name.begin(), name.end(), ':', '_');
    return name;
});

}  // namespace
