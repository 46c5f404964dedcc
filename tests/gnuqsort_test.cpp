// SPDX-License-Identifier: MIT
#include "gnuqsort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Hooks.h"
#include "kinds.h"
#include "word_scans.h"

using namespace sortcost;

namespace {

using words_t = std::vector<std::uint32_t>;

// Steps taken by one call, the comparator's own steps included.
template <class Compare>
std::uint64_t sort_cost(void* base, std::size_t count, std::size_t size, Compare compare, void* arg = nullptr) {
    std::uint64_t before = cost_read();
    gnu_quicksort(base, count, size, compare, arg);
    return cost_read() - before;
}

// As the program sorts: pure, scans several words at a time.
std::uint64_t word_sort_cost(words_t& v) { return sort_cost(v.data(), v.size(), 4, words::order{}); }

TEST(GnuQuicksort, KnownWordCosts) {
    struct row {
        words_t input;
        std::uint64_t cost;
    } rows[] = {
        {{}, 1},
        {{7}, 3},
        {{2, 1}, 9},
        {{3, 1, 2}, 29},
        {{1, 2, 3, 4, 5}, 33},
        {{6, 6, 6, 6, 6, 6}, 45},
        {{5, 4, 3, 2, 1}, 51},
        {{9, 1, 8, 2, 7, 3, 6, 4, 5, 0}, 137},
    };
    for (auto& r : rows) {
        words_t v = r.input;
        words_t sorted = v;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(word_sort_cost(v), r.cost) << ::testing::PrintToString(r.input);
        EXPECT_EQ(v, sorted);
        // A plain function pointer, or no promise, is the same sort at the same cost.
        v = r.input;
        EXPECT_EQ(sort_cost(v.data(), v.size(), 4, &words::cmp), r.cost);
        v = r.input;
        EXPECT_EQ(sort_cost(v.data(), v.size(), 4, inline_compare<words::cmp>{}), r.cost);
        v = r.input;
        EXPECT_EQ(sort_cost(v.data(), v.size(), 4, inline_compare<words::cmp, true>{}), r.cost);
    }
}

TEST(GnuQuicksort, KnownByteCost) {
    std::string s = "hello world";
    EXPECT_EQ(sort_cost(s.data(), s.size(), 1, inline_compare<bytes::cmp, true>{}), 123u);
    EXPECT_EQ(s, " dehllloorw");
}

// The word comparator wraps, so 0 < 1 < 2^31 < 0: no consistent order. The
// insertion pass then stops at the front of the array instead of below it.
TEST(GnuQuicksort, WrappedWordOrderStaysInsideTheArray) {
    struct row {
        words_t input;
        std::uint64_t cost;
        words_t result;
    } rows[] = {
        {{0, 1, 0x80000000u}, 34, {0, 0x80000000u, 1}},
        {{0, 0x80000000u, 1}, 34, {0, 1, 0x80000000u}},
        {{1, 0, 0x80000000u}, 14, {0x80000000u, 0, 1}},
        {{1, 0x80000000u, 0}, 29, {0, 1, 0x80000000u}},
        {{0x80000000u, 0, 1}, 29, {0, 1, 0x80000000u}},
        {{0x80000000u, 1, 0}, 14, {0, 1, 0x80000000u}},
    };
    for (auto& r : rows) {
        words_t v = r.input;
        EXPECT_EQ(word_sort_cost(v), r.cost) << ::testing::PrintToString(r.input);
        EXPECT_EQ(v, r.result) << ::testing::PrintToString(r.input);
        v = r.input;
        EXPECT_EQ(sort_cost(v.data(), v.size(), 4, &words::cmp), r.cost);
        EXPECT_EQ(v, r.result);
    }
}

// The word order's scans and block partition, several words at a time,
// against the comparator called word by word: the same arrangement and the
// same steps, on inputs where the wrapped order is consistent and where it is
// not (the last shape puts many words 2^31 apart).
TEST(GnuQuicksort, WordOrderScansMatchTheLoops) {
    std::mt19937 rng(99);
    for (std::size_t n : {5, 6, 7, 8, 9, 15, 16, 17, 31, 64, 100, 127, 128, 129, 130, 257, 1000, 4099, 65537}) {
        for (int shape = 0; shape < 7; ++shape) {
            words_t v(n);
            for (std::size_t i = 0; i < n; ++i) {
                auto k = static_cast<std::uint32_t>(i);
                std::uint32_t values[] = {static_cast<std::uint32_t>(rng()), static_cast<std::uint32_t>(rng() % 5),
                                          k, static_cast<std::uint32_t>(n) - k,
                                          std::min(k, static_cast<std::uint32_t>(n) - k),
                                          static_cast<std::uint32_t>(rng() % 3) << 30,
                                          static_cast<std::uint32_t>(rng() % 4) << 30 | static_cast<std::uint32_t>(rng() % 2)};
                v[i] = values[shape];
            }
            words_t by_call = v;
            std::uint64_t batched = sort_cost(v.data(), n, 4, words::order{});
            EXPECT_EQ(batched, sort_cost(by_call.data(), n, 4, &words::cmp)) << n << " shape " << shape;
            EXPECT_EQ(v, by_call) << n << " shape " << shape;
        }
    }
}

// Orders elements as unsigned byte strings; the reference sort uses the same order.
int bytewise(const void* a, const void* b, void* arg) {
    cost_inc();
    return std::memcmp(a, b, *static_cast<std::size_t*>(arg));
}

std::vector<std::string> shaped(const std::string& shape, std::size_t count, std::size_t size, std::mt19937& rng) {
    std::vector<std::string> v(count, std::string(size, '\0'));
    auto put = [&](std::string& e, std::uint64_t key) {
        // Big-endian key in the last bytes, so byte order is key order.
        for (std::size_t k = 0; k < size; ++k) e[size - 1 - k] = static_cast<char>(k < 8 ? key >> (8 * k) : 0);
    };
    for (std::size_t i = 0; i < count; ++i) {
        if (shape == "random") for (auto& c : v[i]) c = static_cast<char>(rng());
        else if (shape == "sorted") put(v[i], i);
        else if (shape == "reversed") put(v[i], count - i);
        else if (shape == "equal") put(v[i], 7);
        else if (shape == "few_distinct") put(v[i], rng() % 3);
        else if (shape == "pipe_organ") put(v[i], std::min(i, count - i));
    }
    return v;
}

struct sort_case {
    std::string shape;
    std::size_t size;
};

class GnuQuicksortSorts : public ::testing::TestWithParam<sort_case> {};

TEST_P(GnuQuicksortSorts, LikeStdSort) {
    const auto [shape, size] = GetParam();
    std::mt19937 rng(static_cast<unsigned>(size * 31 + shape.size()));
    for (std::size_t count : {0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 33, 100, 1000, 3000}) {
        auto elems = shaped(shape, count, size, rng);
        std::string flat;
        for (auto& e : elems) flat += e;
        std::sort(elems.begin(), elems.end());
        std::string expected;
        for (auto& e : elems) expected += e;

        std::size_t n = size;
        std::string as_pointer = flat;
        std::uint64_t cost = sort_cost(flat.data(), count, size, inline_compare<bytewise, true>{}, &n);
        ASSERT_EQ(flat, expected) << shape << " count " << count;
        std::string generic = as_pointer;
        EXPECT_EQ(sort_cost(as_pointer.data(), count, size, &bytewise, &n), cost);

        // Sizes 1, 2, 4 and 8 have code with the size fixed; the byte-wise
        // code for any size must agree with it step for step.
        if (count > 0) {
            auto* g = reinterpret_cast<unsigned char*>(generic.data());
            auto compare = &bytewise;
            std::uint64_t before = cost_read();
            gnuqsort_internal::sort<0>(g, count, static_cast<std::ptrdiff_t>(size), compare, &n);
            EXPECT_EQ(cost_read() - before + 1, cost) << shape << " count " << count;
            EXPECT_EQ(generic, expected);
        }
    }
}

std::vector<sort_case> sort_cases() {
    std::vector<sort_case> cases;
    for (const char* shape : {"random", "sorted", "reversed", "equal", "few_distinct", "pipe_organ"})
        for (std::size_t size : {1, 2, 3, 4, 8, 16}) cases.push_back({shape, size});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Shapes, GnuQuicksortSorts, ::testing::ValuesIn(sort_cases()), [](const auto& info) {
    return info.param.shape + "_size" + std::to_string(info.param.size);
});

// A comparator that is no order at all: it checks that every address it is
// given is an element of the array, then answers from a random stream, or
// always the same, even for an element against itself.
struct chaos {
    const unsigned char* lo;
    const unsigned char* hi;
    std::size_t size;
    std::mt19937 rng;
    int fixed;  // 0: random answers; otherwise always this answer
    int outside = 0;

    bool inside(const void* p) const {
        auto* c = static_cast<const unsigned char*>(p);
        return c >= lo && c < hi && (c - lo) % static_cast<std::ptrdiff_t>(size) == 0;
    }
    static int compare(const void* a, const void* b, void* arg) {
        auto* self = static_cast<chaos*>(arg);
        if (!self->inside(a) || !self->inside(b)) ++self->outside;
        if (self->fixed) return self->fixed;
        return static_cast<int>(self->rng() % 3) - 1;
    }
};

TEST(GnuQuicksort, AnyComparatorAnswersStayInsideTheArray) {
    constexpr std::size_t guard = 64;
    for (int fixed : {0, -1, 1}) {
        for (std::size_t size : {1, 3, 4, 16}) {
            for (std::size_t count : {2, 3, 5, 6, 7, 9, 40, 500}) {
                for (unsigned seed = 0; seed < (fixed ? 1u : 20u); ++seed) {
                    std::mt19937 fill(seed);
                    std::vector<unsigned char> buf(guard + count * size + guard, 0xA5);
                    unsigned char* base = buf.data() + guard;
                    for (std::size_t i = 0; i < count * size; ++i) base[i] = static_cast<unsigned char>(fill());
                    std::vector<unsigned char> before(buf);

                    chaos c{base, base + count * size, size, std::mt19937(seed), fixed};
                    gnu_quicksort(base, count, size, &chaos::compare, &c);
                    ASSERT_EQ(c.outside, 0) << fixed << " " << size << " " << count << " " << seed;
                    ASSERT_TRUE(std::equal(buf.begin(), buf.begin() + guard, before.begin()));
                    ASSERT_TRUE(std::equal(buf.end() - guard, buf.end(), before.end() - guard));

                    // Only whole elements moved: the same multiset of elements.
                    auto elements = [&](const unsigned char* p) {
                        std::vector<std::string> e;
                        for (std::size_t i = 0; i < count; ++i) e.emplace_back(reinterpret_cast<const char*>(p + i * size), size);
                        std::sort(e.begin(), e.end());
                        return e;
                    };
                    ASSERT_EQ(elements(base), elements(before.data() + guard));
                }
            }
        }
    }
}

TEST(GnuQuicksort, ZeroSizedElementsAreLeftAlone) {
    EXPECT_EQ(sort_cost(nullptr, 10, 0, &words::cmp), 1u);
}

TEST(Comparators, DifferencesTakeOneStep) {
    struct word_row {
        std::int32_t a, b, result;
    } word_rows[] = {
        {5, 3, 2},
        {3, 5, -2},
        {-7, 7, -14},
        {INT32_MAX, INT32_MAX, 0},
        // Differences that do not fit wrap modulo 2^32.
        {INT32_MIN, 1, INT32_MAX},
        {1, INT32_MIN, INT32_MIN + 1},
        {INT32_MAX, -1, INT32_MIN},
        {0, INT32_MIN, INT32_MIN},
    };
    // Misaligned on purpose: words are read byte-wise.
    unsigned char buf[9];
    for (auto& r : word_rows) {
        std::memcpy(buf + 1, &r.a, 4);
        std::memcpy(buf + 5, &r.b, 4);
        std::uint64_t before = cost_read();
        EXPECT_EQ(words::cmp(buf + 1, buf + 5, nullptr), r.result) << r.a << " " << r.b;
        EXPECT_EQ(cost_read() - before, 1u);
    }
    struct byte_row {
        unsigned char a, b;
        int result;
    } byte_rows[] = {{0xFF, 0x00, 255}, {0x00, 0xFF, -255}, {'a', 'a', 0}, {0x80, 0x7F, 1}};
    for (auto& r : byte_rows) {
        std::uint64_t before = cost_read();
        EXPECT_EQ(bytes::cmp(&r.a, &r.b, nullptr), r.result);
        EXPECT_EQ(cost_read() - before, 1u);
    }
}

}  // namespace
