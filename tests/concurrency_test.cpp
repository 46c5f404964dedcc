// SPDX-License-Identifier: MIT
// Every in-process cost, asked from many threads at once, gives each thread
// exactly the serial result: no call sees another's steps.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "program_runner.h"
#include "scoring.h"
#include "sortcost/costs.h"

namespace {

constexpr int thread_count = 8;

// Inputs of many sizes, both sides of where isort_words' cost is counted
// rather than sorted, so that calls of very different lengths overlap.
std::vector<std::string> inputs() {
    std::mt19937 rng(15);
    std::vector<std::string> out;
    for (std::size_t size : {1, 4, 64, 255 * 4, 256 * 4, 3000, 20000, 64, 7, 4096}) {
        std::string bytes(size, '\0');
        for (auto& c : bytes) c = static_cast<char>(rng() % (size % 3 ? 256 : 5));
        out.push_back(bytes);
    }
    return out;
}

class Concurrency : public ::testing::TestWithParam<sortcost::program_info> {};

TEST_P(Concurrency, ThreadsGetTheSerialCosts) {
    const auto cost = GetParam().cost;
    const std::vector<std::string> in = inputs();
    std::vector<std::uint64_t> serial;
    for (const std::string& s : in) serial.push_back(cost(s.data(), s.size()));

    // Each thread asks for every input many times, starting at its own place.
    std::vector<std::vector<std::uint64_t>> seen(thread_count);
    std::vector<std::thread> threads;
    for (int t = 0; t < thread_count; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 20; ++round)
                for (std::size_t k = 0; k < in.size(); ++k) {
                    const std::string& s = in[(k + static_cast<std::size_t>(t)) % in.size()];
                    seen[static_cast<std::size_t>(t)].push_back(cost(s.data(), s.size()));
                }
        });
    for (auto& th : threads) th.join();
    for (int t = 0; t < thread_count; ++t)
        for (std::size_t i = 0; i < seen[static_cast<std::size_t>(t)].size(); ++i)
            ASSERT_EQ(seen[static_cast<std::size_t>(t)][i], serial[(i + static_cast<std::size_t>(t)) % in.size()])
                << "thread " << t << " call " << i;
}

INSTANTIATE_TEST_SUITE_P(EveryProgram, Concurrency, ::testing::ValuesIn(sortcost::programs),
                         [](const auto& info) { return std::string(info.param.name); });

// A corpus scored by many workers, threads or processes, gives the
// one-worker rows, in order, with unreadable files and unlisted entries in
// their places.
TEST(ScoreCorpus, ManyWorkersGiveTheOneWorkerRows) {
    scratch_dir dir;
    std::vector<std::string> roots;
    const std::vector<std::string> in = inputs();
    for (std::size_t i = 0; i < in.size(); ++i) roots.push_back(dir.write("f" + std::to_string(i), in[i]));
    roots.push_back(dir.path + "/missing");
    roots.push_back(dir.path);
    // And a thousand small files, so that many runs are handed over.
    ASSERT_EQ(mkdir((dir.path + "/many").c_str(), 0700), 0);
    std::mt19937 rng(4);
    for (int i = 0; i < 1000; ++i) dir.write("many/" + std::to_string(i), std::string(rng() % 100, static_cast<char>(rng())));
    roots.push_back(dir.path + "/many");
    // A folder that cannot be listed, with files after it in the walk.
    const std::string deep = dir.too_deep("deep");
    dir.write("deep/z", in[2]);
    dir.write("deep/zz", in[3]);
    roots.push_back(dir.path + "/deep");
    const std::vector<std::size_t> columns = {2, 0, 1};

    auto rows = [&](unsigned jobs, worker_kind kind) {
        std::vector<std::string> out;
        score_corpus(list_corpus(roots, false), columns, jobs, kind, [&](const corpus_entry& e, const score_row* r) {
            std::string line = e.path;
            if (r) {
                line += r->readable ? " " + std::to_string(r->bytes) : " " + read_error(*r);
                for (std::uint64_t c : r->costs) line += " " + std::to_string(c);
            }
            out.push_back(line);
        });
        return out;
    };
    const std::vector<std::string> one = rows(1, worker_kind::threads);
    ASSERT_EQ(one.size(), 2 * in.size() + 1 + 2000 + 2 * 3);  // the deep folder is also under the whole folder
    EXPECT_EQ(one[one.size() - 3], deep) << "the folder it could not list, in its place";
    // Each row is its own file's, whatever came before it.
    std::size_t i = 0;
    for (const corpus_entry& e : list_corpus(roots, false)) {
        if (!e.unlisted) {
            const score_row alone = score_file(e.path, columns);
            std::string line = e.path + (alone.readable ? " " + std::to_string(alone.bytes) : " " + read_error(alone));
            for (std::uint64_t c : alone.costs) line += " " + std::to_string(c);
            EXPECT_EQ(one[i], line);
        }
        ++i;
    }
    for (worker_kind kind : {worker_kind::threads, worker_kind::processes})
        for (unsigned jobs : {1u, 3u, 8u}) EXPECT_EQ(rows(jobs, kind), one) << jobs << " workers";
}

}  // namespace
