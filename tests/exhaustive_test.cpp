// SPDX-License-Identifier: MIT
// The exhaustive search's hand-stepped sort against the program's own, course
// by course; its bound against what each subtree it may cut off holds; the
// bound's tables against every input of their size.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "exhaustive_machine.h"
#include "program_model.h"

using namespace exhaustive_search;
using sortcost::program_info;

namespace {

// The course `leaf` took from `m` (an earlier state on its way), run again to
// where the quicksort phase ends: the cost there.
template <int Size, std::size_t Capacity>
std::uint32_t quicksort_end(machine<Size, Capacity> m, const machine<Size, Capacity>& leaf) {
    m.stop = machine<Size, Capacity>::stop_at::insertion;
    while (!m.run()) m.answer(m.ask_top >= 0 ? leaf.in.top[m.ask_top] : !leaf.in.known_lt(m.ask_x, m.ask_y));
    return m.cost;
}

template <int Size, std::size_t Capacity = 16>
struct checker {
    using state = machine<Size, Capacity>;
    const program_info& program;
    bound_tables tables;
    std::uint64_t courses = 0, wrong_costs = 0, low_bounds = 0, budget = UINT64_MAX;
    bool partitions = false;  // also check each partition's term against every way it really goes on
    std::uint64_t low_partitions = 0;

    // The most the current partition adds, over every way it goes on: its
    // remaining steps and what the tables say its parts add.
    std::int64_t partition_truth(const state& m) const {
        state rest = m;
        rest.stop = state::stop_at::partition;
        std::int64_t most = 0;
        each_course(
            rest,
            [&](const state& end) {
                const bool first = tables.local && m.lo == 0, middle = end.left - end.right == 2;
                std::int64_t v = end.cost - m.cost + tables.of(first, end.right - m.lo + 1) + tables.of(false, m.hi - end.left + 1);
                if (tables.local && middle && (m.lo > 0 || end.right + 1 >= 2)) v += state::inserted(0);
                most = std::max(most, v);
            },
            [](const state&) { return false; });
        return most;
    }

    // The costliest course on from m, or 0 once the budget of states is spent.
    std::uint32_t walk(state m) {
        if (m.run()) {
            ++courses;
            wrong_costs += cost_of(program, encode(program, m.in.values(answers_of(program)))) != m.cost;
            return m.cost;
        }
        if (budget-- == 0) return 0;
        if (partitions && m.pc >= state::median_1 && m.pc <= state::right_scan) {
            const bool low = m.partition_most(tables) < partition_truth(m);
            if (low && low_partitions == 0)
                std::printf("pc %d lo %d hi %d left %d right %d mid %d: dp %lld truth %lld\n", m.pc, m.lo, m.hi, m.left,
                            m.right, m.mid, (long long)m.partition_most(tables), (long long)partition_truth(m));
            low_partitions += low;
        }
        const std::int64_t bound = m.most(tables);
        state second = m;
        m.answer(0);
        second.answer(1);
        const std::uint32_t first = walk(m), other = walk(second);
        if (first == 0 || other == 0) return 0;
        low_bounds += bound < std::max(first, other);
        return std::max(first, other);
    }
};

// The course an input's values take from m.
template <int Size, std::size_t Capacity>
machine<Size, Capacity> course(machine<Size, Capacity> m, const std::vector<std::uint32_t>& v,
                               const sortcost::answer_model& model) {
    while (!m.run()) {
        using sortcost::low_of, sortcost::top_of;
        m.answer(m.ask_top >= 0 ? top_of(model, v[static_cast<std::size_t>(m.ask_top)])
                                : !(low_of(model, v[static_cast<std::size_t>(m.ask_x)]) <
                                    low_of(model, v[static_cast<std::size_t>(m.ask_y)])));
    }
    return m;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#elif defined(__has_feature)
constexpr bool sanitized = __has_feature(address_sanitizer);
#else
constexpr bool sanitized = false;
#endif

struct exhaustive_row {
    const char* program;
    int n;
    std::uint64_t courses;  // distinct courses of answers
    std::uint64_t max;
};

template <int Size, std::size_t Capacity = 16>
void check_row(const exhaustive_row& row) {
    const program_info& p = *sortcost::find_program(row.program);
    checker<Size, Capacity> c{p, make_bound_tables<Size, Capacity>(row.n, answers_of(p))};
    c.partitions = row.n <= 8;
    machine<Size, Capacity> root;
    root.start(row.n, answers_of(p));
    EXPECT_EQ(c.walk(root), row.max);
    EXPECT_EQ(c.courses, row.courses);
    EXPECT_EQ(c.wrong_costs, 0u) << "courses whose cost the program does not report";
    EXPECT_EQ(c.low_bounds, 0u) << "states whose bound is below a course after them";
    EXPECT_EQ(c.low_partitions, 0u) << "partitions whose term is below a way they go on";
    // Cut short by the maximum itself, the search still finds it; with a
    // floor no input reaches, as a broken bound would cut, it finds less and
    // says so, never a maximum.
    exact_maximum m;
    std::string error;
    EXPECT_TRUE(exhaustive_maximum(p, row.n, 1, 1, 2, row.max, m, error)) << error;
    EXPECT_EQ(m.cost, row.max);
    EXPECT_EQ(cost_of(p, m.witness), row.max);
    EXPECT_FALSE(exhaustive_maximum(p, row.n, 1, 1, 2, row.max + 1, m, error));
    EXPECT_NE(error.find(" (a fault of the search)"), std::string::npos) << error;
}

template <int Size>
void check_tables(const program_info& p, int largest, std::int64_t slack) {
    const sortcost::answer_model model = answers_of(p);
    using state = machine<Size>;
    for (int m = state::cutoff + 2; m <= largest; ++m) {
        SCOPED_TRACE(std::string(p.name) + " m=" + std::to_string(m));
        const bound_tables t = make_bound_tables<Size>(m + 1, model);
        // Every input of m elements, as m digits below m, with every top bit
        // but element 0's.
        std::int64_t work = 0, first = 0;
        std::vector<std::uint32_t> v(static_cast<std::size_t>(m));
        std::uint64_t codes = 1;
        for (int i = 0; i < m; ++i) codes *= static_cast<std::uint64_t>(m);
        for (std::uint64_t code = 0; code < codes << (model.top_bit ? m - 1 : 0); ++code) {
            std::uint64_t c = code;
            for (auto& x : v) {
                x = static_cast<std::uint32_t>(c % static_cast<std::uint64_t>(m));
                c /= static_cast<std::uint64_t>(m);
            }
            for (int i = 1; i < m && model.top_bit; ++i, c >>= 1) v[static_cast<std::size_t>(i)] |= (c & 1) << 31;
            state root;
            root.start(m, model);
            root.stop = state::stop_at::insertion;
            const state q = course(root, v, model);
            std::int64_t steps = q.cost - state::start_cost - 1;  // up to the head that follows the range
            // A consistent order inserts each element past the greater ones
            // before it; the range held by position 0 is the whole program.
            if (t.local) {
                for (int j = 0; j < m; ++j) {
                    int d = 0;
                    for (int i = 0; i < j; ++i) d += v[static_cast<std::size_t>(q.a[i])] > v[static_cast<std::size_t>(q.a[j])];
                    steps += state::inserted(d);
                }
                root.stop = state::stop_at::end;
                const state whole = course(root, v, model);
                first = std::max<std::int64_t>(first, whole.cost - state::start_cost - 2 - (1 + state::test_and_call * 4));
            }
            work = std::max(work, steps);
        }
        EXPECT_GE(t.work[static_cast<std::size_t>(m)], work);
        EXPECT_GE(t.first[static_cast<std::size_t>(m)], first);
        // The tables are the maxima they stand for, or nearly: a looser
        // bound would cut less.
        EXPECT_LE(t.work[static_cast<std::size_t>(m)], work + slack);
    }
}

}  // namespace

// Every course for up to 9 words and 10 bytes: the step count of each is the
// program's for an input that gives it, and no bound undercuts a course.
TEST(ExhaustiveSearch, EveryCourseCostsWhatTheProgramReports) {
    const exhaustive_row rows[] = {
        {"qsort_words", 1, 1, 6},         {"qsort_words", 3, 11, 37},       {"qsort_words", 5, 812, 117},
        {"qsort_words", 6, 4925, 152},    {"qsort_words", 7, 35556, 201},   {"qsort_words", 8, 293785, 235},
        {"qsort_words", 9, 2850404, 281}, {"qsort_bytes", 2, 2, 9},         {"qsort_bytes", 4, 30, 34},
        {"qsort_bytes", 5, 126, 54},      {"qsort_bytes", 6, 834, 71},      {"qsort_bytes", 7, 6144, 96},
        {"qsort_bytes", 8, 51228, 108},   {"qsort_bytes", 9, 472128, 130},  {"qsort_bytes", 10, 4861260, 149},
    };
    for (const exhaustive_row& row : rows) {
        // Under a sanitizer the largest sizes take most of CI's time and
        // reach no code the smaller ones do not; the other builds run them.
        if (sanitized && row.courses > 1'000'000) continue;
        SCOPED_TRACE(std::string(row.program) + " n=" + std::to_string(row.n));
        if (sortcost::find_program(row.program)->element_size == 4)
            check_row<4>(row);
        else
            check_row<1>(row);
        // A state with room for 32 elements, which larger inputs use, the same.
        if (row.courses > 100'000) continue;
        if (sortcost::find_program(row.program)->element_size == 4)
            check_row<4, 32>(row);
        else
            check_row<1, 32>(row);
    }
}

// Cut short, the search finds the maxima that every course gave before.
TEST(ExhaustiveSearch, PrunedSearchFindsTheMaximaOf11) {
    for (auto [name, max] : {std::pair{"qsort_words", 392ull}, std::pair{"qsort_bytes", 168ull}}) {
        for (std::uint64_t floor : {max, max - 10}) {
            exact_maximum m;
            std::string error;
            EXPECT_TRUE(exhaustive_maximum(*sortcost::find_program(name), 11, 1, 1, 2, floor, m, error)) << error;
            EXPECT_EQ(m.cost, max) << name << " floor " << floor;
        }
    }
}

// Each table entry is at least the most a range of its size takes, over
// every input of that size.
TEST(ExhaustiveSearch, TablesHoldEveryInput) {
    check_tables<4>(*sortcost::find_program("qsort_words"), 6, 0);
    check_tables<1>(*sortcost::find_program("qsort_bytes"), 7, 6);
}

// The entries for parts the quicksort phase leaves alone (1 to cutoff + 1
// elements) of a consistent order, against every order of their elements
// (ties included): a part elsewhere takes its insertions; the part at
// position 0 also the minimum search's swap, as the sort's own insertion
// pass runs on those elements alone.
TEST(ExhaustiveSearch, SmallPartsTablesHoldEveryOrder) {
    using state = machine<1>;
    const program_info& p = *sortcost::find_program("qsort_bytes");
    const sortcost::answer_model model = answers_of(p);
    const bound_tables t = make_bound_tables<1>(12, model);
    for (int k = 1; k <= state::cutoff + 1; ++k) {
        SCOPED_TRACE("k=" + std::to_string(k));
        std::int64_t inserted_most = 0, first_most = 0;
        std::vector<std::uint32_t> v(static_cast<std::size_t>(k));
        std::uint64_t codes = 1;
        for (int i = 0; i < k; ++i) codes *= static_cast<std::uint64_t>(k);
        for (std::uint64_t code = 0; code < codes; ++code) {
            std::uint64_t c = code;
            for (auto& x : v) {
                x = static_cast<std::uint32_t>(c % static_cast<std::uint64_t>(k));
                c /= static_cast<std::uint64_t>(k);
            }
            // Elsewhere: each element passes the greater ones before it.
            std::int64_t steps = 0;
            for (int j = 0; j < k; ++j) {
                int d = 0;
                for (int i = 0; i < j; ++i) d += v[static_cast<std::size_t>(i)] > v[static_cast<std::size_t>(j)];
                steps += state::inserted(d);
            }
            inserted_most = std::max(inserted_most, steps);
            // At position 0: the insertion pass itself, less its fixed tests
            // (the minimum search's and the outer loop's last).
            state m;
            m.start(k, model);
            m.cost = 0;
            m.begin_insertion();
            const state end = course(m, v, model);
            first_most = std::max<std::int64_t>(first_most, end.cost - (1 + state::test_and_call * (k - 1)) - 1);
        }
        EXPECT_GE(t.work[static_cast<std::size_t>(k)], inserted_most);
        EXPECT_GE(t.first[static_cast<std::size_t>(k)], first_most);
        EXPECT_LE(t.first[static_cast<std::size_t>(k)], first_most) << "the most, not more";
    }
}

// From 12 elements on, ranges wait on the stack: below states reached by
// random answers, with a range on the stack, every bound holds.
TEST(ExhaustiveSearch, BoundHoldsWithRangesOnTheStack) {
    std::mt19937 rng(5);
    for (const char* name : {"qsort_words", "qsort_bytes"}) {
        const program_info& p = *sortcost::find_program(name);
        int checked = 0;
        for (int tries = 0; tries < 400 && checked < 6; ++tries) {
            auto sample = [&](auto size) {
                constexpr int Size = decltype(size)::value;
                checker<Size> c{p, make_bound_tables<Size>(12, answers_of(p))};
                machine<Size> m;
                m.start(12, answers_of(p));
                while (!m.run()) {
                    const bool stacked = m.top >= 2 && m.pc <= machine<Size>::right_scan;
                    if (stacked && m.hi - m.lo < 8 && rng() % 2 == 0) {
                        c.budget = 30000;
                        if (c.walk(m) == 0) continue;  // too large: further down
                        EXPECT_EQ(c.low_bounds, 0u) << name;
                        EXPECT_EQ(c.wrong_costs, 0u) << name;
                        // Term by term: the ranges' terms (with the head that
                        // pops the sentinel) hold every course's quicksort
                        // phase from here, for words; bytes' hold insertions too.
                        typename machine<Size>::bound_parts parts;
                        m.most(c.tables, &parts);
                        std::int64_t ranges = 1;
                        for (int k = 0; k < parts.ranges; ++k) ranges += parts.range[k];
                        std::int64_t longest = 0;
                        machine<Size> from = m;
                        each_course(
                            from,
                            [&](const machine<Size>& leaf) { longest = std::max<std::int64_t>(longest, quicksort_end(m, leaf) - m.cost); },
                            [](const machine<Size>&) { return false; });
                        if (!c.tables.local) EXPECT_GE(ranges, longest) << name;
                        EXPECT_EQ(parts.ranges, m.top) << "the current range and each on the stack";
                        ++checked;
                        return;
                    }
                    m.answer(static_cast<int>(rng() % 2));
                }
            };
            if (p.element_size == 4)
                sample(std::integral_constant<int, 4>{});
            else
                sample(std::integral_constant<int, 1>{});
        }
        EXPECT_EQ(checked, 6) << name;
    }
}
