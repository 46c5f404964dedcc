// SPDX-License-Identifier: MIT
#include "Hooks.h"

#include <gtest/gtest.h>

#include <string>

using namespace sortcost;

namespace {

TEST(Hooks, EachIncrementAddsExactlyOne) {
    for (int n : {0, 1, 2, 1000}) {
        std::uint64_t before = cost_read();
        for (int i = 0; i < n; ++i) cost_inc();
        EXPECT_EQ(cost_read() - before, static_cast<std::uint64_t>(n));
    }
}

TEST(Hooks, ReportIsOneLineInPlainDecimal) {
    for (int i = 0; i < 12345; ++i) cost_inc();
    ::testing::internal::CaptureStdout();
    std::uint64_t now = cost_read();
    exit_print_hook();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "[COST] " + std::to_string(now) + "\n");
    EXPECT_EQ(cost_read(), now) << "reporting takes no step";
}

}  // namespace
