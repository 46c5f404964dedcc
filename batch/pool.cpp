// SPDX-License-Identifier: MIT
#include "pool.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <map>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#include "descriptors.h"

namespace {

struct start_gate {
    const std::function<void(unsigned, unsigned)>* work;
    std::mutex m;
    std::condition_variable open;
    unsigned workers = 0;  // 0 until every worker that could start has
};

struct seat {
    start_gate* gate;
    unsigned worker;
};

void* run_seat(void* arg) {
    auto* s = static_cast<seat*>(arg);
    unsigned workers;
    {
        std::unique_lock<std::mutex> lock(s->gate->m);
        s->gate->open.wait(lock, [&] { return s->gate->workers != 0; });
        workers = s->gate->workers;
    }
    (*s->gate->work)(s->worker, workers);
    return nullptr;
}

// Items go out in runs of up to 64, so that handing results over costs
// little, and at least 16 runs a worker, so that the workers finish close
// together.
std::size_t run_length(std::size_t count, unsigned jobs) {
    return std::clamp<std::size_t>(count / (16 * std::size_t{std::max(jobs, 1u)}), 1, 64);
}

void in_order_on_threads(std::size_t count, unsigned jobs, std::size_t run, std::size_t runs,
                         const std::function<std::string(std::size_t, std::size_t)>& produce,
                         const std::function<void(std::string&, std::size_t)>& deliver) {
    std::vector<std::string> results(runs);
    std::vector<unsigned char> done(runs);
    std::mutex m;
    std::condition_variable ready;
    std::size_t delivered = 0;
    auto items = [&](std::size_t r) { return std::min(count, (r + 1) * run) - r * run; };
    auto produce_run = [&](std::size_t r) {
        std::string out = produce(r * run, r * run + items(r));
        std::lock_guard<std::mutex> lock(m);
        results[r] = std::move(out);
        done[r] = 1;
        ready.notify_one();
    };
    // Worker 0 also delivers: whatever is ready after each run it makes,
    // then the rest as they come.
    auto deliver_ready = [&](bool wait) {
        while (delivered < runs) {
            std::string out;
            {
                std::unique_lock<std::mutex> lock(m);
                if (wait)
                    ready.wait(lock, [&] { return done[delivered] != 0; });
                else if (!done[delivered])
                    return;
                out = std::move(results[delivered]);
            }
            deliver(out, items(delivered));
            ++delivered;
        }
    };
    for_each_run(runs, jobs, 1, [&](unsigned worker, std::size_t r, std::size_t) {
        produce_run(r);
        if (worker == 0) deliver_ready(false);
    });
    deliver_ready(true);
}

// Who produces a run: -1 while no one has claimed it, 0 for this process,
// k for worker k. Runs are claimed by compare-and-swap in shared memory.
using owner_t = std::atomic<int>;
static_assert(owner_t::is_always_lock_free, "claims are made across processes");

// A run's result on a pipe: its number and length, then the bytes.
struct frame {
    std::size_t run, size;  // the same program at both ends
};

bool send_frame(int fd, std::size_t run, const std::string& s) {
    frame h{run, s.size()};
    return write_all(fd, reinterpret_cast<const char*>(&h), sizeof h) && write_all(fd, s.data(), s.size());
}

bool receive_frame(int fd, std::size_t run, std::string& s) {
    frame h;
    if (!read_all(fd, reinterpret_cast<char*>(&h), sizeof h) || h.run != run) return false;
    s.resize(h.size);
    return read_all(fd, s.data(), h.size);
}

struct child {
    pid_t pid;
    int fd;  // the read end of its pipe, or -1 once it has failed
};

// The runs of one call handed out across processes: who claims each (in
// memory shared by the forks), and how each run is made.
struct process_runs {
    std::size_t count, run, runs;
    const std::function<std::string(std::size_t, std::size_t)>& produce;
    owner_t* owner;

    std::size_t items(std::size_t r) const { return std::min(count, (r + 1) * run) - r * run; }
    std::string make(std::size_t r) const { return produce(r * run, r * run + items(r)); }
    bool take(int who, std::size_t r) const {
        int none = -1;
        return owner[r].load(std::memory_order_relaxed) == -1 && owner[r].compare_exchange_strong(none, who);
    }
    // The first run from `from` on that no one has claimed, now `who`'s.
    std::size_t claim(int who, std::size_t from) const {
        for (std::size_t r = from; r < runs; ++r)
            if (take(who, r)) return r;
        return runs;
    }
};

// Forks up to jobs - 1 workers, each making the runs it claims and sending
// them down its pipe; as many as could be started.
std::vector<child> start_workers(const process_runs& w, unsigned jobs) {
    // Nothing may be left in this process's buffers for a fork to copy.
    std::fflush(nullptr);
    std::vector<child> children;
    for (unsigned k = 1; k < jobs; ++k) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) break;
        pid_t pid = fork();
        if (pid < 0) {
            close(fds[0]);
            close(fds[1]);
            break;
        }
        if (pid == 0) {
            close(fds[0]);
            for (const child& c : children) close(c.fd);
            // A worker writes nothing but its pipe, and ends without running
            // this process's exit handlers.
            const int me = static_cast<int>(k);
            for (std::size_t r = w.claim(me, 0); r < w.runs; r = w.claim(me, r + 1))
                if (!send_frame(fds[1], r, w.make(r))) _exit(1);
            _exit(0);
        }
        close(fds[1]);
        children.push_back({pid, fds[0]});
    }
    return children;
}

// Run r's result. While it is a worker's and not ready, this process makes
// one no one has claimed yet (kept in `ahead`); a worker that died or broke
// off leaves its runs to this process.
std::string result_of(const process_runs& w, std::size_t r, std::vector<child>& children,
                      std::map<std::size_t, std::string>& ahead, std::size_t& scan) {
    for (;;) {
        int who = w.owner[r].load();
        if (who == -1 && w.take(0, r)) who = 0;
        if (who == 0) {
            auto it = ahead.find(r);
            if (it == ahead.end()) return w.make(r);
            std::string out = std::move(it->second);
            ahead.erase(it);
            return out;
        }
        if (who == -1) continue;  // claimed meanwhile; look again
        child& c = children[static_cast<std::size_t>(who - 1)];
        if (c.fd < 0) return w.make(r);
        pollfd p{c.fd, POLLIN, 0};
        scan = std::max(scan, r + 1);
        const std::size_t other = poll(&p, 1, 0) == 0 ? w.claim(0, scan) : w.runs;
        if (other < w.runs) {
            ahead.emplace(other, w.make(other));
            scan = other + 1;
            continue;
        }
        std::string out;
        if (receive_frame(c.fd, r, out)) return out;
        close(c.fd);
        c.fd = -1;
        kill(c.pid, SIGKILL);
        return w.make(r);
    }
}

void in_order_on_processes(std::size_t count, unsigned jobs, std::size_t run, std::size_t runs,
                           const std::function<std::string(std::size_t, std::size_t)>& produce,
                           const std::function<void(std::string&, std::size_t)>& deliver) {
    void* shared = mmap(nullptr, runs * sizeof(owner_t), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    const process_runs w{count, run, runs, produce, static_cast<owner_t*>(shared == MAP_FAILED ? nullptr : shared)};
    if (!w.owner) {
        for (std::size_t r = 0; r < runs; ++r) {
            std::string out = w.make(r);
            deliver(out, w.items(r));
        }
        return;
    }
    for (std::size_t r = 0; r < runs; ++r) new (&w.owner[r]) owner_t(-1);
    std::vector<child> children = start_workers(w, jobs);
    // Hands out the runs in order.
    std::map<std::size_t, std::string> ahead;
    std::size_t scan = 0;  // no run before this is unclaimed
    for (std::size_t r = 0; r < runs; ++r) {
        std::string out = result_of(w, r, children, ahead, scan);
        deliver(out, w.items(r));
    }
    for (const child& c : children) {
        if (c.fd >= 0) close(c.fd);
        while (waitpid(c.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    munmap(shared, runs * sizeof(owner_t));
}

}  // namespace

void run_workers(unsigned wanted, const std::function<void(unsigned, unsigned)>& work) {
    start_gate gate{&work, {}, {}, 0};
    std::vector<seat> seats(std::max(wanted, 1u), seat{&gate, 0});
    // Threads are made with pthread_create, which reports a failure where
    // std::thread would throw; the workers are numbered as they start.
    std::vector<pthread_t> threads;
    for (unsigned k = 1; k < wanted; ++k) {
        seats[k].worker = k;
        pthread_t t;
        if (pthread_create(&t, nullptr, run_seat, &seats[k]) != 0) break;
        threads.push_back(t);
    }
    const auto workers = static_cast<unsigned>(threads.size() + 1);
    {
        std::lock_guard<std::mutex> lock(gate.m);
        gate.workers = workers;
    }
    gate.open.notify_all();
    work(0, workers);
    for (pthread_t t : threads) pthread_join(t, nullptr);
}

void for_each_run(std::size_t count, unsigned wanted, std::size_t run,
                  const std::function<void(unsigned, std::size_t, std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    run_workers(wanted, [&](unsigned worker, unsigned) {
        for (std::size_t first; (first = next.fetch_add(run)) < count;) work(worker, first, std::min(count, first + run));
    });
}

void run_in_order(std::size_t count, unsigned jobs, worker_kind kind,
                  const std::function<std::string(std::size_t, std::size_t)>& produce,
                  const std::function<void(std::string&, std::size_t)>& deliver) {
    const std::size_t run = run_length(count, jobs);
    const std::size_t runs = (count + run - 1) / run;
    if (jobs > runs) jobs = static_cast<unsigned>(std::max<std::size_t>(runs, 1));
    if (kind == worker_kind::processes && jobs > 1)
        in_order_on_processes(count, jobs, run, runs, produce, deliver);
    else
        in_order_on_threads(count, jobs, run, runs, produce, deliver);
}

unsigned available_cores() {
    cpu_set_t set;
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0) return static_cast<unsigned>(CPU_COUNT(&set));
    unsigned n = std::thread::hardware_concurrency();
    return n > 0 ? n : 1;
}
