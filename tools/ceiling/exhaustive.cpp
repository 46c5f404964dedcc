// SPDX-License-Identifier: MIT
#include "exhaustive.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "exhaustive_machine.h"
#include "inputs.h"

namespace {

using namespace exhaustive_search;

template <int Size>
exact_maximum search(int n, bool words, unsigned part, unsigned parts, unsigned threads, std::uint64_t floor,
                     std::vector<std::uint32_t>& best_values) {
    using state = machine<Size>;
    const std::vector<std::uint32_t> range_most =
        floor > 0 ? quicksort_phase_maxima<Size>(n, words) : std::vector<std::uint32_t>{};
    state root;
    root.start(n, words);
    std::vector<state> shares;
    explorer<Size>::shares(root, 0, shares);
    std::vector<std::size_t> mine;  // this part's shares
    for (std::size_t i = part - 1; i < shares.size(); i += parts) mine.push_back(i);
    // Threads take shares in turn; each keeps its own maximum.
    struct job {
        const std::vector<state>* shares;
        const std::vector<std::size_t>* mine;
        std::atomic<std::size_t>* next;
        explorer<Size> found;
    };
    std::atomic<std::size_t> next{0};
    explorer<Size> empty;
    empty.floor = static_cast<std::int64_t>(floor);
    empty.range_most = range_most.data();
    std::vector<job> jobs(std::max(threads, 1u), job{&shares, &mine, &next, empty});
    auto work = [](void* arg) -> void* {
        auto* j = static_cast<job*>(arg);
        for (std::size_t k; (k = j->next->fetch_add(1)) < j->mine->size();)
            j->found.explore((*j->shares)[(*j->mine)[k]]);
        return nullptr;
    };
    std::vector<pthread_t> running;
    for (std::size_t t = 1; t < jobs.size(); ++t) {
        pthread_t th;
        if (pthread_create(&th, nullptr, work, &jobs[t]) != 0) break;
        running.push_back(th);
    }
    work(&jobs[0]);
    for (pthread_t th : running) pthread_join(th, nullptr);
    exact_maximum best;
    for (const job& j : jobs) {
        best.runs += j.found.best.runs;
        if (j.found.best.cost > best.cost) {
            best.cost = j.found.best.cost;
            best_values = j.found.values;
        }
    }
    return best;
}

}  // namespace

exact_maximum exhaustive_maximum(const std::string& program, int n, unsigned part, unsigned parts, unsigned threads,
                                 std::uint64_t floor) {
    exact_maximum m;
    std::vector<std::uint32_t> values;
    if (program == "isort_words") {
        // 2n + 4 steps and one per pair out of order: at most all of them,
        // as distinct words in descending order have it.
        for (int i = n - 1; i >= 0; --i) values.push_back(static_cast<std::uint32_t>(i));
        auto k = static_cast<std::uint64_t>(n);
        m.cost = 2 * k + 4 + k * (k - 1) / 2;
    } else if (program == "qsort_words") {
        m = search<4>(n, true, part, parts, threads, floor, values);
    } else {
        m = search<1>(n, false, part, parts, threads, floor, values);
    }
    // A part of the search may hold no course of answers at all (small n has
    // fewer than there are parts): no maximum, no witness.
    if (program != "isort_words" && m.runs == 0) return m;
    m.witness = input_of(program, values);
    std::uint64_t check = program_cost(program, m.witness);
    if (check != m.cost) {
        std::fprintf(stderr, "sortcost-ceiling: %s n=%d: the search found %llu, its witness costs %llu\n",
                     program.c_str(), n, static_cast<unsigned long long>(m.cost),
                     static_cast<unsigned long long>(check));
        std::abort();
    }
    return m;
}
