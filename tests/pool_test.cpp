// SPDX-License-Identifier: MIT
// The worker pool: every item handed out once, results delivered in order
// whatever the number and kind of workers, and the work of a worker that
// dies done by the others.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <string>
#include <vector>

#include "pool.h"

namespace {

TEST(Pool, HandsOutEveryItemOnce) {
    struct row {
        std::size_t count, run;
        unsigned workers;
    };
    for (const row& r : std::vector<row>{{0, 1, 4}, {1, 1, 4}, {10, 3, 1}, {10, 3, 4}, {1000, 1, 8}, {1000, 64, 3}}) {
        std::vector<std::atomic<int>> seen(r.count);
        std::atomic<std::size_t> largest_run{0};
        for_each_run(r.count, r.workers, r.run, [&](unsigned worker, std::size_t first, std::size_t last) {
            EXPECT_LT(worker, r.workers);
            EXPECT_LT(first, last);
            EXPECT_LE(last - first, r.run);
            for (std::size_t i = first; i < last; ++i) seen[i]++;
            largest_run = std::max(largest_run.load(), last - first);
        });
        for (std::size_t i = 0; i < r.count; ++i) EXPECT_EQ(seen[i], 1) << "item " << i << " of " << r.count;
    }
}

// Each item's result is its number; delivered, they must read 0, 1, 2, ...
std::string delivered(std::size_t count, unsigned jobs, worker_kind kind, long die_at = -1) {
    std::string all;
    const pid_t parent = getpid();
    run_in_order(
        count, jobs, kind,
        [&](std::size_t first, std::size_t last) {
            std::string out;
            for (std::size_t i = first; i < last; ++i) {
                if (static_cast<long>(i) == die_at && getpid() != parent) raise(SIGKILL);  // a worker dies
                out += std::to_string(i) + ",";
            }
            return out;
        },
        [&](std::string& result, std::size_t) { all += result; });
    return all;
}

TEST(Pool, DeliversInOrderOnAnyWorkers) {
    for (std::size_t count : {0u, 1u, 7u, 5000u}) {
        const std::string expected = delivered(count, 1, worker_kind::threads);
        for (worker_kind kind : {worker_kind::threads, worker_kind::processes})
            for (unsigned jobs : {1u, 2u, 5u, 16u}) EXPECT_EQ(delivered(count, jobs, kind), expected) << count << " " << jobs;
    }
}

TEST(Pool, AWorkerThatDiesLosesNothing) {
    const std::string expected = delivered(5000, 1, worker_kind::threads);
    for (long die_at : {0L, 1234L, 4999L}) EXPECT_EQ(delivered(5000, 4, worker_kind::processes, die_at), expected) << die_at;
}

}  // namespace
