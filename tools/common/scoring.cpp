// SPDX-License-Identifier: MIT
#include "scoring.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>

score_row score_file(const std::string& path, const std::vector<std::size_t>& columns) {
    score_row row;
    row.path = path;
    unsigned char* data = nullptr;
    const char* step = nullptr;
    std::int64_t size = sortcost_read_input(path.c_str(), &data, &step);
    // An empty file is readable: it has no bytes to sort, and every program
    // reports what it reports for a read that ends at once.
    row.readable = size >= 0 || (std::strcmp(step, "fread") == 0 && errno == 0);
    if (size < 0) {
        if (!row.readable) {
            row.failed_step = step;
            row.error = errno;
        }
        for (auto& c : row.costs) c = sortcost::unreadable_cost;
        return row;
    }
    auto n = static_cast<std::size_t>(size);
    row.bytes = n;
    for (std::size_t p : columns) row.costs[p] = sortcost::programs[p].cost(data, n);
    std::free(data);
    return row;
}

std::string read_error(const score_row& row) {
    return std::string(row.failed_step ? row.failed_step : "read") + ": " + std::strerror(row.error);
}

void score_corpus(const std::vector<corpus_entry>& entries, const std::vector<std::size_t>& columns,
                  unsigned jobs, const std::function<void(const corpus_entry&, const score_row*)>& emit) {
    auto score_entry = [&](const corpus_entry& e) { return e.unlisted ? score_row{} : score_file(e.path, columns); };
    if (jobs > entries.size()) jobs = static_cast<unsigned>(entries.size());
    if (jobs <= 1) {
        for (const corpus_entry& e : entries) {
            score_row row = score_entry(e);
            emit(e, e.unlisted ? nullptr : &row);
        }
        return;
    }
    // Workers take the next entry in turn; this thread hands out the rows in
    // order as they are done.
    std::vector<score_row> rows(entries.size());
    std::vector<unsigned char> done(entries.size());
    std::atomic<std::size_t> next{0};
    std::mutex m;
    std::condition_variable ready;
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1)) < entries.size();) {
            score_row row = score_entry(entries[i]);
            std::lock_guard<std::mutex> lock(m);
            rows[i] = std::move(row);
            done[i] = 1;
            ready.notify_one();
        }
    };
    // Threads are made with pthread_create, which reports a failure where
    // std::thread would throw; the threads that could be made do the work.
    using work_fn = decltype(work);
    auto run = [](void* w) -> void* {
        (*static_cast<work_fn*>(w))();
        return nullptr;
    };
    std::vector<pthread_t> workers;
    for (unsigned j = 0; j < jobs; ++j) {
        pthread_t t;
        if (pthread_create(&t, nullptr, run, &work) != 0) break;
        workers.push_back(t);
    }
    if (workers.empty()) work();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        score_row row;
        {
            std::unique_lock<std::mutex> lock(m);
            ready.wait(lock, [&] { return done[i] != 0; });
            row = std::move(rows[i]);
        }
        emit(entries[i], entries[i].unlisted ? nullptr : &row);
    }
    for (pthread_t t : workers) pthread_join(t, nullptr);
}

unsigned available_cores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
    unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}
