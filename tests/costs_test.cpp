// A fixed table of inputs and the costs each benchmark must report for them,
// through the programs and through the in-process entry points alike. Every
// build (compiler, optimisation level, sanitizers) runs it, so a cost that
// changed with the build fails here.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

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
    const char* shape;
    std::size_t size;
    std::uint64_t isort_words, qsort_words, qsort_bytes;
};

const cost_row table[] = {
        {"random", 0, 2, 2, 2},
        {"random", 1, 4, 4, 6},
        {"random", 3, 4, 4, 20},
        {"random", 4, 6, 6, 25},
        {"random", 5, 6, 6, 41},
        {"random", 8, 8, 8, 86},
        {"random", 17, 17, 58, 207},
        {"random", 20, 20, 70, 243},
        {"random", 24, 27, 108, 314},
        {"random", 64, 120, 290, 1106},
        {"random", 100, 226, 482, 1886},
        {"random", 257, 1309, 1621, 5903},
        {"random", 1000, 16122, 7868, 26219},
        {"random", 4099, 264611, 39908, 131919},
        {"few", 1, 4, 4, 6},
        {"few", 3, 4, 4, 13},
        {"few", 4, 6, 6, 28},
        {"few", 5, 6, 6, 39},
        {"few", 8, 9, 12, 64},
        {"few", 17, 14, 37, 165},
        {"few", 20, 20, 73, 211},
        {"few", 24, 22, 72, 263},
        {"few", 64, 89, 324, 945},
        {"few", 100, 228, 485, 1604},
        {"few", 257, 1027, 1455, 5096},
        {"few", 1000, 15627, 6871, 25425},
        {"few", 4099, 259374, 34220, 127814},
        {"text", 1, 4, 4, 6},
        {"text", 3, 4, 4, 14},
        {"text", 4, 6, 6, 25},
        {"text", 5, 6, 6, 45},
        {"text", 8, 8, 8, 88},
        {"text", 17, 14, 39, 205},
        {"text", 20, 18, 46, 274},
        {"text", 24, 21, 89, 328},
        {"text", 64, 97, 242, 1050},
        {"text", 100, 193, 478, 1845},
        {"text", 257, 1017, 1319, 5264},
        {"text", 1000, 14557, 6683, 25710},
        {"text", 4099, 240597, 35081, 126968},
        {"ascending", 1, 4, 4, 6},
        {"ascending", 3, 4, 4, 13},
        {"ascending", 4, 6, 6, 18},
        {"ascending", 5, 6, 6, 38},
        {"ascending", 8, 8, 8, 73},
        {"ascending", 17, 12, 18, 199},
        {"ascending", 20, 14, 36, 225},
        {"ascending", 24, 16, 41, 271},
        {"ascending", 64, 36, 125, 986},
        {"ascending", 100, 54, 216, 1615},
        {"ascending", 257, 132, 721, 5666},
        {"ascending", 1000, 504, 3771, 26824},
        {"ascending", 4099, 2052, 19481, 128235},
        {"descending", 1, 4, 4, 6},
        {"descending", 3, 4, 4, 13},
        {"descending", 4, 6, 6, 31},
        {"descending", 5, 6, 6, 36},
        {"descending", 8, 9, 12, 70},
        {"descending", 17, 18, 37, 208},
        {"descending", 20, 24, 54, 225},
        {"descending", 24, 31, 61, 253},
        {"descending", 64, 156, 172, 970},
        {"descending", 100, 354, 284, 1610},
        {"descending", 257, 2148, 892, 5909},
        {"descending", 1000, 31629, 4411, 26477},
        {"descending", 4099, 525828, 22060, 129058},
        {"organ", 1, 4, 4, 6},
        {"organ", 3, 4, 4, 13},
        {"organ", 4, 6, 6, 18},
        {"organ", 5, 6, 6, 38},
        {"organ", 8, 8, 8, 73},
        {"organ", 17, 13, 33, 201},
        {"organ", 20, 16, 43, 202},
        {"organ", 24, 20, 78, 265},
        {"organ", 64, 85, 266, 956},
        {"organ", 100, 186, 522, 1600},
        {"organ", 257, 1093, 1732, 5819},
        {"organ", 1000, 15880, 10714, 26840},
        {"organ", 4099, 263173, 60407, 130206},
        {"wide", 1, 4, 4, 6},
        {"wide", 3, 4, 4, 13},
        {"wide", 4, 6, 6, 25},
        {"wide", 5, 6, 6, 42},
        {"wide", 8, 9, 12, 77},
        {"wide", 17, 15, 37, 211},
        {"wide", 20, 17, 76, 259},
        {"wide", 24, 23, 98, 358},
        {"wide", 64, 100, 354, 1119},
        {"wide", 100, 242, 451, 1828},
        {"wide", 257, 1126, 1603, 5776},
        {"wide", 1000, 16081, 8106, 27974},
        {"wide", 4099, 256194, 40944, 130057},
};

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
    return std::string(info.param.shape) + "_" + std::to_string(info.param.size);
});

}  // namespace
