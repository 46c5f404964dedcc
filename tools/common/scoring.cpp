// SPDX-License-Identifier: MIT
#include "scoring.h"

#include <pthread.h>
#include <sys/stat.h>
#include <sched.h>

#include <algorithm>
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
    // reports what it reports for a read that ends at once. A read that ends
    // short of a size above 0 (a file being rewritten, a sysfs file, a
    // device) is not.
    int err = errno;
    struct stat st;
    row.readable = size >= 0 || (std::strcmp(step, "fread") == 0 && err == 0 && stat(path.c_str(), &st) == 0 &&
                                 S_ISREG(st.st_mode) && st.st_size == 0);
    errno = err;
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
    for (std::size_t p : columns) {
        row.costs[p] = sortcost::programs[p].cost(data, n);
        if (row.costs[p] == 0 && !row.failed_step) {
            row.failed_step = "buf";
            row.error = errno;
        }
    }
    std::free(data);
    return row;
}

std::string read_error(const score_row& row) {
    return std::string(row.failed_step) + ": " + (row.error ? std::strerror(row.error) : short_read);
}

void score_corpus(const std::vector<corpus_entry>& entries, const std::vector<std::size_t>& columns,
                  unsigned jobs, const std::function<void(const corpus_entry&, const score_row*)>& emit) {
    const std::size_t n = entries.size();
    auto score_entry = [&](std::size_t i) { return entries[i].unlisted ? score_row{} : score_file(entries[i].path, columns); };
    auto emit_row = [&](std::size_t i, const score_row& row) { emit(entries[i], entries[i].unlisted ? nullptr : &row); };
    if (jobs > n) jobs = static_cast<unsigned>(n);
    if (jobs <= 1) {
        for (std::size_t i = 0; i < n; ++i) emit_row(i, score_entry(i));
        return;
    }
    // Threads take the entries a chunk at a time, small files in chunks of up
    // to 64 so that handing rows over costs little, and this thread takes
    // its share too. It hands out each chunk's rows, in order, as soon as
    // the chunks before it are done. Only the rows wait: each thread holds
    // one file at a time.
    const std::size_t chunk = std::clamp<std::size_t>(n / (16 * std::size_t{jobs}), 1, 64);
    const std::size_t chunks = (n + chunk - 1) / chunk;
    std::vector<score_row> rows(n);
    std::vector<unsigned char> done(chunks);
    std::atomic<std::size_t> next{0};
    std::mutex m;
    std::condition_variable ready;
    auto score_chunk = [&](std::size_t c) {
        for (std::size_t i = c * chunk; i < std::min(n, (c + 1) * chunk); ++i) rows[i] = score_entry(i);
        std::lock_guard<std::mutex> lock(m);
        done[c] = 1;
        ready.notify_one();
    };
    auto work = [&] {
        for (std::size_t c; (c = next.fetch_add(1)) < chunks;) score_chunk(c);
    };
    std::size_t emitted = 0;  // chunks handed out
    auto emit_done = [&](bool wait) {
        while (emitted < chunks) {
            {
                std::unique_lock<std::mutex> lock(m);
                if (wait)
                    ready.wait(lock, [&] { return done[emitted] != 0; });
                else if (!done[emitted])
                    return;
            }
            for (std::size_t i = emitted * chunk; i < std::min(n, (emitted + 1) * chunk); ++i) {
                emit_row(i, rows[i]);
                rows[i] = score_row{};
            }
            ++emitted;
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
    for (unsigned j = 1; j < jobs; ++j) {
        pthread_t t;
        if (pthread_create(&t, nullptr, run, &work) != 0) break;
        workers.push_back(t);
    }
    for (std::size_t c; (c = next.fetch_add(1)) < chunks;) {
        score_chunk(c);
        emit_done(false);
    }
    emit_done(true);
    for (pthread_t t : workers) pthread_join(t, nullptr);
}

unsigned available_cores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
    unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}
