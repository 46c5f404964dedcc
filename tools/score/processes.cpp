// SPDX-License-Identifier: MIT
#include "processes.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <map>
#include <new>
#include <vector>

#include "safe_file.h"

namespace {

// Who renders a chunk: -1 while no one has claimed it, 0 for this process,
// k for worker k. Chunks are claimed by compare-and-swap in shared memory.
using owner_t = std::atomic<int>;
static_assert(owner_t::is_always_lock_free, "claims are made across processes");

bool read_all(int fd, char* p, std::size_t n) {
    while (n > 0) {
        ssize_t r = ::read(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= static_cast<std::size_t>(r);
    }
    return true;
}

// A chunk on the pipe: this header, then `out` and `err`.
struct header {
    std::size_t chunk, out, err, failures, entries;  // the same program at both ends
};

bool send(int fd, std::size_t chunk, const rendered& t) {
    header h{chunk, t.out.size(), t.err.size(), t.failures, t.entries};
    return write_all(fd, reinterpret_cast<const char*>(&h), sizeof h) && write_all(fd, t.out.data(), t.out.size()) &&
           write_all(fd, t.err.data(), t.err.size());
}

bool receive(int fd, std::size_t chunk, rendered& t) {
    header h;
    if (!read_all(fd, reinterpret_cast<char*>(&h), sizeof h) || h.chunk != chunk) return false;
    t.out.resize(h.out);
    t.err.resize(h.err);
    t.failures = h.failures;
    t.entries = h.entries;
    return read_all(fd, t.out.data(), h.out) && read_all(fd, t.err.data(), h.err);
}

struct worker {
    pid_t pid;
    int fd;  // the read end of its pipe, or -1 once it has failed
};

}  // namespace

void render_in_processes(std::size_t n, unsigned jobs, const std::function<void(std::size_t, rendered&)>& render,
                         const std::function<void(const rendered&)>& write) {
    // Chunks of up to 64 small files, so that handing text over costs little.
    const std::size_t chunk = std::clamp<std::size_t>(n / (16 * std::size_t{std::max(jobs, 1u)}), 1, 64);
    const std::size_t chunks = (n + chunk - 1) / chunk;
    auto render_chunk = [&](std::size_t c) {
        rendered t;
        for (std::size_t i = c * chunk; i < std::min(n, (c + 1) * chunk); ++i) render(i, t);
        t.entries = std::min(n, (c + 1) * chunk) - c * chunk;
        return t;
    };
    void* shared = jobs > 1 && chunks > 1 ? mmap(nullptr, chunks * sizeof(owner_t), PROT_READ | PROT_WRITE,
                                                  MAP_SHARED | MAP_ANONYMOUS, -1, 0)
                                           : MAP_FAILED;
    if (shared == MAP_FAILED) {
        for (std::size_t c = 0; c < chunks; ++c) write(render_chunk(c));
        return;
    }
    auto* owner = static_cast<owner_t*>(shared);
    for (std::size_t c = 0; c < chunks; ++c) new (&owner[c]) owner_t(-1);
    auto take = [&](int who, std::size_t c) {
        int none = -1;
        return owner[c].load(std::memory_order_relaxed) == -1 && owner[c].compare_exchange_strong(none, who);
    };
    // The first chunk from `from` on that no one has claimed, now `who`'s.
    auto claim = [&](int who, std::size_t from) {
        for (std::size_t c = from; c < chunks; ++c)
            if (take(who, c)) return c;
        return chunks;
    };

    // Nothing may be left in this process's buffers for a worker to copy.
    std::fflush(nullptr);
    std::vector<worker> workers;
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
            for (const worker& w : workers) close(w.fd);
            // A worker writes nothing but its pipe, and ends without running
            // this process's exit handlers.
            const int me = static_cast<int>(k);
            for (std::size_t c = claim(me, 0); c < chunks; c = claim(me, c + 1))
                if (!send(fds[1], c, render_chunk(c))) _exit(1);
            _exit(0);
        }
        close(fds[1]);
        workers.push_back({pid, fds[0]});
    }

    // Hands out the chunks in order. While the next one is a worker's and not
    // ready, this process renders one no one has claimed yet.
    std::map<std::size_t, rendered> ahead;
    std::size_t scan = 0;  // no chunk before this is unclaimed
    for (std::size_t c = 0; c < chunks; ++c) {
        for (;;) {
            int who = owner[c].load();
            if (who == -1 && take(0, c)) who = 0;
            if (who == 0) {
                auto it = ahead.find(c);
                write(it != ahead.end() ? it->second : render_chunk(c));
                if (it != ahead.end()) ahead.erase(it);
                break;
            }
            if (who == -1) continue;  // claimed meanwhile; look again
            worker& w = workers[static_cast<std::size_t>(who - 1)];
            if (w.fd >= 0) {
                pollfd p{w.fd, POLLIN, 0};
                scan = std::max(scan, c + 1);
                std::size_t other = poll(&p, 1, 0) == 0 ? claim(0, scan) : chunks;
                if (other < chunks) {
                    ahead.emplace(other, render_chunk(other));
                    scan = other + 1;
                    continue;
                }
                rendered t;
                if (receive(w.fd, c, t)) {
                    write(t);
                    break;
                }
                // The worker died or broke off: its chunks are done here.
                close(w.fd);
                w.fd = -1;
                kill(w.pid, SIGKILL);
            }
            write(render_chunk(c));
            break;
        }
    }
    for (const worker& w : workers) {
        if (w.fd >= 0) close(w.fd);
        while (waitpid(w.pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    munmap(shared, chunks * sizeof(owner_t));
}
