// SPDX-License-Identifier: MIT
// The cost feedback the search harnesses give the engines: which costs an
// engine can tell apart.
#include "cost_feedback.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using cost_feedback::level;

TEST(CostFeedback, LevelsOfCosts) {
    struct row {
        std::uint64_t cost;
        int level;
    };
    const std::uint64_t exact = cost_feedback::exact_below;
    for (row r : {row{0, 0}, {1, 1}, {722, 722}, {exact - 1, 16383}, {exact, 16384}, {exact + 15, 16384},
                  {exact + 16, 16385}, {2 * exact, 16384 + 1024}, {(1ull << 30) - 1, cost_feedback::levels - 1},
                  {1ull << 30, cost_feedback::levels - 1}, {UINT64_MAX, cost_feedback::levels - 1}})
        EXPECT_EQ(level(r.cost), r.level) << r.cost;
}

// Below 2^30 a higher cost never has a lower level, and costs 0.2 % apart
// always have different levels: an engine sees every such gain.
TEST(CostFeedback, HigherCostsAreSeen) {
    for (std::uint64_t c = 1; c < (1ull << 30); c = c + c / 7 + 1) {
        EXPECT_LE(level(c), level(c + 1)) << c;
        EXPECT_LT(level(c), level(c + c / 500 + 1)) << c;
    }
}

// Each level's last three bits pick one count from each of the engines'
// hit-count ranges (1, 2, 3, 4-7, 8-15, 16-31, 32-127, 128 and more), so no
// two levels of a marker look alike to an engine.
TEST(CostFeedback, CallCountsFallInDistinctRanges) {
    auto range = [](int calls) {
        return calls <= 3 ? calls : calls < 8 ? 4 : calls < 16 ? 5 : calls < 32 ? 6 : calls < 128 ? 7 : 8;
    };
    for (int i = 0; i < 8; ++i) EXPECT_EQ(range(cost_feedback::calls_per_level[i]), i + 1) << i;
    EXPECT_EQ(cost_feedback::levels, 8 * cost_feedback::markers);
}

}  // namespace
