// SPDX-License-Identifier: MIT
#include "isort.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "Hooks.h"
#include "program_runner.h"
#include "sortcost/costs.h"

using namespace sortcost;

namespace {

using words = std::vector<std::uint32_t>;

// Pairs standing in the wrong order, counted directly: each costs one exchange.
std::uint64_t inverted_pairs(const words& v) {
    std::uint64_t n = 0;
    for (std::size_t i = 0; i < v.size(); ++i)
        for (std::size_t j = i + 1; j < v.size(); ++j) n += v[i] > v[j];
    return n;
}

words generate(const std::string& shape, std::size_t n) {
    std::mt19937 rng(static_cast<unsigned>(n) * 7919u + static_cast<unsigned>(shape.size()));
    words v(n);
    for (std::size_t i = 0; i < n; ++i) {
        auto k = static_cast<std::uint32_t>(i);
        if (shape == "random") v[i] = static_cast<std::uint32_t>(rng());
        else if (shape == "sorted") v[i] = k;
        else if (shape == "reversed") v[i] = static_cast<std::uint32_t>(n) - k;
        else if (shape == "equal") v[i] = 42;
        else if (shape == "few-distinct") v[i] = static_cast<std::uint32_t>(rng() % 3);
        else if (shape == "top-bit") v[i] = (rng() & 1 ? 0x80000000u : 0u) | (static_cast<std::uint32_t>(rng()) & 0xFFu);
    }
    return v;
}

struct shape_case {
    std::string shape;
    std::size_t n;
};

class IsortShapes : public ::testing::TestWithParam<shape_case> {};

TEST_P(IsortShapes, CostIsTwoPerWordPlusTwoPlusOnePerExchange) {
    words v = generate(GetParam().shape, GetParam().n);
    words expected = v;
    std::sort(expected.begin(), expected.end());
    std::uint64_t exchanges = inverted_pairs(v);

    std::uint64_t before = cost_read();
    isort(v.data(), static_cast<std::int32_t>(v.size()));
    EXPECT_EQ(cost_read() - before, 2 * v.size() + 2 + exchanges);
    EXPECT_EQ(v, expected);
}

std::vector<shape_case> shape_cases() {
    std::vector<shape_case> cases;
    for (const char* shape : {"random", "sorted", "reversed", "equal", "few-distinct", "top-bit"})
        for (std::size_t n : {0, 1, 2, 3, 17, 500}) cases.push_back({shape, n});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Shapes, IsortShapes, ::testing::ValuesIn(shape_cases()),
                         [](const auto& info) {
                             std::string name = info.param.shape + "_" + std::to_string(info.param.n);
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

TEST(Isort, NonPositiveCountSortsNothingForTwoSteps) {
    for (std::int32_t count : {0, -1, INT32_MIN}) {
        words v{3, 2, 1};
        std::uint64_t before = cost_read();
        isort(v.data(), count);
        EXPECT_EQ(cost_read() - before, 2u) << count;
        EXPECT_EQ(v, (words{3, 2, 1}));
    }
}

TEST(Isort, SortsOnlyTheCountedPrefix) {
    words v{9, 8, 7, 6, 1};
    isort(v.data(), 3);
    EXPECT_EQ(v, (words{7, 8, 9, 6, 1}));
}

// isort_words_cost counts the pairs out of order on large inputs instead of
// sorting; both ways must give what the program's sort takes.
TEST(IsortWordsCost, CountedAsTheSortTakesIt) {
    for (const char* shape : {"random", "reversed", "few-distinct", "top-bit"}) {
        for (std::size_t n : {255, 256, 257, 1000, 4097}) {
            words v = generate(shape, n);
            std::string bytes(reinterpret_cast<const char*>(v.data()), n * 4);
            bytes += "\x01";  // a trailing byte is not sorted
            std::uint64_t before = cost_read();
            isort_copy(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
            std::uint64_t sorted = 2 + cost_read() - before;
            EXPECT_EQ(isort_words_cost(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), sorted)
                << shape << " " << n;
        }
    }
}

// isort takes a 32-bit count. The check comes before the source is read, so
// a small buffer with a large size reaches it; each run is a child process.
TEST(IsortCopy, RefusesMoreWordsThanIsortTakes) {
    unsigned char small[8] = {};
    auto refused = [&](std::uint64_t size) {
        std::uint64_t before = cost_read();
        errno = 0;
        int r = isort_copy(small, size);
        std::exit(r == -1 && errno == EFBIG && cost_read() == before ? 0 : 1);
    };
    for (std::uint64_t size : {(isort_max_count + 1) * 4, UINT64_MAX})
        EXPECT_EXIT(refused(size), ::testing::ExitedWithCode(0), "^readfile: File too large\n$") << size;
}

TEST(IsortCopy, TakesTheLargestCount) {
    if (address_sanitizer) GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
    // Within the limit, only the copy's allocation can stop it: 8 GiB do not
    // fit in the 1 GiB the child may use.
    unsigned char small[8] = {};
    auto limited = [&] {
        rlimit lim{1u << 30, 1u << 30};
        if (setrlimit(RLIMIT_AS, &lim) != 0) std::exit(2);
        std::exit(isort_copy(small, isort_max_count * 4 + 3) == -1 ? 0 : 1);
    };
    EXPECT_EXIT(limited(), ::testing::ExitedWithCode(0), "^buf: Cannot allocate memory\n$");
}

}  // namespace
