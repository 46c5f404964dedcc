// SPDX-License-Identifier: MIT
// The exhaustive search's hand-stepped sort against the program's own, course
// by course, and its bound against what each subtree it may cut off holds.
#include <gtest/gtest.h>

#include <string>

#include "exhaustive_machine.h"
#include "inputs.h"

using namespace exhaustive_search;

namespace {

template <int Size>
struct checker {
    std::string program;
    std::vector<std::uint32_t> range_most;
    std::uint64_t courses = 0, wrong_costs = 0, low_bounds = 0;

    // The costliest course on from m.
    std::uint32_t walk(machine<Size> m) {
        if (m.run()) {
            ++courses;
            wrong_costs += program_cost(program, input_of(program, m.in.values())) != m.cost;
            return m.cost;
        }
        const std::int64_t bound = m.most(range_most.data());
        machine<Size> second = m;
        m.answer(0);
        second.answer(1);
        const std::uint32_t best = std::max(walk(m), walk(second));
        low_bounds += bound < best;
        return best;
    }
};

struct exhaustive_row {
    const char* program;
    int n;
    std::uint64_t courses;  // distinct courses of answers
    std::uint64_t max;
};

template <int Size>
void check_row(const exhaustive_row& row) {
    const bool words = Size == 4;
    checker<Size> c{row.program, quicksort_phase_maxima<Size>(row.n, words)};
    machine<Size> root;
    root.start(row.n, words);
    EXPECT_EQ(c.walk(root), row.max);
    EXPECT_EQ(c.courses, row.courses);
    EXPECT_EQ(c.wrong_costs, 0u) << "courses whose cost the program does not report";
    EXPECT_EQ(c.low_bounds, 0u) << "states whose bound is below a course after them";
    // Cut short by the maximum itself, the search still finds it.
    exact_maximum m = exhaustive_maximum(row.program, row.n, 1, 1, 2, row.max);
    EXPECT_EQ(m.cost, row.max);
    EXPECT_EQ(program_cost(row.program, m.witness), row.max);
}

}  // namespace

// Every course for up to 8 words and 9 bytes: the step count of each is the
// program's for an input that gives it, and no bound undercuts a course.
TEST(ExhaustiveSearch, EveryCourseCostsWhatTheProgramReports) {
    const exhaustive_row rows[] = {
        {"qsort_words", 1, 1, 6},        {"qsort_words", 3, 11, 37},       {"qsort_words", 5, 812, 117},
        {"qsort_words", 6, 4925, 152},   {"qsort_words", 7, 35556, 201},   {"qsort_words", 8, 293785, 235},
        {"qsort_bytes", 2, 2, 9},        {"qsort_bytes", 4, 30, 34},       {"qsort_bytes", 5, 126, 54},
        {"qsort_bytes", 6, 834, 71},     {"qsort_bytes", 7, 6144, 96},     {"qsort_bytes", 8, 51228, 108},
        {"qsort_bytes", 9, 472128, 130},
    };
    for (const exhaustive_row& row : rows) {
        SCOPED_TRACE(std::string(row.program) + " n=" + std::to_string(row.n));
        if (element_size(row.program) == 4)
            check_row<4>(row);
        else
            check_row<1>(row);
    }
}
