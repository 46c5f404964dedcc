// SPDX-License-Identifier: MIT
#include "anneal.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

// xoshiro256**: fast, and the same sequence on every machine.
struct rng {
    std::uint64_t s[4];
    explicit rng(std::uint64_t seed) {
        for (auto& x : s) {  // splitmix64
            std::uint64_t z = (seed += 0x9E3779B97F4A7C15u);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
            x = z ^ (z >> 31);
        }
    }
    static std::uint64_t rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
    std::uint64_t next() {
        const std::uint64_t r = rotl(s[1] * 5, 7) * 9, t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = rotl(s[3], 45);
        return r;
    }
    std::size_t below(std::size_t n) { return static_cast<std::size_t>(next() % n); }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

// e^x for x <= 0, to about 1e-7 relative, with plain arithmetic: the same
// on every machine, and the tools need no maths library. e^x is
// (e^(x/64))^64, and e^(x/64) its series.
double exp_nonpositive(double x) {
    if (x < -60) return 0;
    const double y = x / 64;
    double term = 1, sum = 1;
    for (int k = 1; k < 12; ++k) {
        term *= y / k;
        sum += term;
    }
    for (int k = 0; k < 6; ++k) sum *= sum;
    return sum;
}

double power(double base, std::uint64_t e) {
    double r = 1;
    for (; e; e >>= 1, base *= base)
        if (e & 1) r *= base;
    return r;
}

// The factor f, 0 < f <= 1, with f^steps = ratio (0 < ratio <= 1).
double factor_per_step(double ratio, std::uint64_t steps) {
    double lo = 0, hi = 1;
    for (int i = 0; i < 64; ++i) {
        const double mid = (lo + hi) / 2;
        (power(mid, steps) < ratio ? lo : hi) = mid;
    }
    return hi;
}

using clock_type = std::chrono::steady_clock;

struct shared_state {
    const search_options& o;
    clock_type::time_point start = clock_type::now();
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> evaluations{0};
    std::mutex m;
    outcome_input best;
    std::uint64_t best_cost = 0;

    explicit shared_state(const search_options& opts) : o(opts) {}
    double elapsed() const { return std::chrono::duration<double>(clock_type::now() - start).count(); }
};

class walker {
public:
    walker(shared_state& sh, unsigned index) : sh_(sh), o_(sh.o), r_(o_.seed * 0x100000001B3u + index) {
        words_ = o_.program->element_size == 4;
        ranks_ = words_ ? o_.n : std::min<std::size_t>(o_.n, 256);
        if (index < o_.starts.size()) {
            s_ = o_.starts[index];
        } else {
            s_.top.assign(o_.n, 0);
            s_.rank.assign(o_.n, 0);
            for (std::size_t i = 0; i < o_.n; ++i) {
                s_.rank[i] = static_cast<std::uint32_t>(r_.below(ranks_));
                if (words_) s_.top[i] = static_cast<std::uint8_t>(r_.next() & 1);
            }
        }
    }

    void run() {
        std::uint64_t cost = evaluate();
        offer(cost);
        // Each sweep cools from a temperature at which a step that costs a
        // little less is often taken to one at which hardly any loss is;
        // then it starts again from the best any thread found, or its own,
        // shaken. Words take a hotter start than bytes: a word's top bit
        // turns many answers at once, and the walk must cross more to find
        // the runs that pay. (Tuned on 16 and 64 elements, 20 s runs.)
        const std::uint64_t sweep = std::clamp<std::uint64_t>(400 * o_.n, 4000, 60000);
        const double hot_share = words_ ? 0.015 : 0.002;
        const double cold_share = words_ ? 0.0003 : 0.0001;
        while (!stopped()) {
            const double hot = std::max(1.0, hot_share * static_cast<double>(cost));
            const double cold = std::max(0.2, cold_share * static_cast<double>(cost));
            const double cooling = factor_per_step(std::min(1.0, cold / hot), sweep);
            double t = hot;
            for (std::uint64_t k = 0; k < sweep && !stopped(); ++k, t *= cooling) {
                move m = propose();
                std::uint64_t c = evaluate();
                if (c >= cost ||
                    r_.unit() < exp_nonpositive((static_cast<double>(c) - static_cast<double>(cost)) / t)) {
                    cost = c;
                    if (c > mine_cost_) {
                        mine_ = s_;
                        mine_cost_ = c;
                        offer(c);
                    }
                } else {
                    undo(m);
                }
            }
            if (r_.unit() < 0.5) {
                std::lock_guard<std::mutex> lock(sh_.m);
                s_ = sh_.best;
            } else {
                s_ = mine_;
            }
            for (std::size_t k = 1 + r_.below(3); k > 0; --k) propose();
            cost = evaluate();
        }
    }

private:
    enum kind { set_rank, nudge, swap_two, tie, rotate, flip_top };
    struct move {
        kind k;
        std::size_t i, j;
        std::uint32_t old_rank;
    };

    move propose() {
        const std::size_t n = o_.n;
        move m{static_cast<kind>(r_.below(words_ ? 6 : 5)), r_.below(n), r_.below(n), 0};
        switch (m.k) {
            case set_rank:
                m.old_rank = s_.rank[m.i];
                s_.rank[m.i] = static_cast<std::uint32_t>(r_.below(ranks_));
                break;
            case nudge:
                // One place up or down among the ranks: the smallest change
                // of order there is.
                m.old_rank = s_.rank[m.i];
                if (r_.next() & 1)
                    s_.rank[m.i] += s_.rank[m.i] + 1 < ranks_ ? 1u : 0u;
                else
                    s_.rank[m.i] -= s_.rank[m.i] > 0 ? 1u : 0u;
                break;
            case flip_top: s_.top[m.i] ^= 1; break;
            case swap_two:
                std::swap(s_.rank[m.i], s_.rank[m.j]);
                std::swap(s_.top[m.i], s_.top[m.j]);
                break;
            case tie:
                m.old_rank = s_.rank[m.i];
                s_.rank[m.i] = s_.rank[m.j];
                break;
            case rotate: rotate_element(m.i, m.j); break;
        }
        return m;
    }

    void undo(const move& m) {
        switch (m.k) {
            case set_rank:
            case nudge:
            case tie: s_.rank[m.i] = m.old_rank; break;
            case flip_top: s_.top[m.i] ^= 1; break;
            case swap_two:
                std::swap(s_.rank[m.i], s_.rank[m.j]);
                std::swap(s_.top[m.i], s_.top[m.j]);
                break;
            case rotate: rotate_element(m.j, m.i); break;
        }
    }

    // Moves the element at `from` to `to`, the ones between by one place.
    void rotate_element(std::size_t from, std::size_t to) {
        auto turn = [&](auto& v) {
            if (from < to)
                std::rotate(v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(from) + 1,
                            v.begin() + static_cast<std::ptrdiff_t>(to) + 1);
            else if (to < from)
                std::rotate(v.begin() + static_cast<std::ptrdiff_t>(to), v.begin() + static_cast<std::ptrdiff_t>(from),
                            v.begin() + static_cast<std::ptrdiff_t>(from) + 1);
        };
        turn(s_.rank);
        turn(s_.top);
    }

    std::uint64_t evaluate() {
        bytes_ = realise(s_, o_.program->element_size);
        ++evaluations_;
        if ((evaluations_ & 63) == 0) sh_.evaluations.fetch_add(64, std::memory_order_relaxed);
        return o_.program->cost(bytes_.data(), bytes_.size());
    }

    void offer(std::uint64_t c) {
        std::lock_guard<std::mutex> lock(sh_.m);
        if (c > sh_.best_cost || sh_.best.rank.empty()) {
            sh_.best = s_;
            sh_.best_cost = c;
        }
        if (o_.target && sh_.best_cost >= o_.target) sh_.stop = true;
    }

    bool stopped() {
        if (sh_.stop.load(std::memory_order_relaxed)) return true;
        if (o_.evaluations && evaluations_ >= o_.evaluations) return true;
        if (o_.seconds > 0 && (evaluations_ & 31) == 0 && sh_.elapsed() >= o_.seconds) sh_.stop = true;
        return sh_.stop.load(std::memory_order_relaxed);
    }

    shared_state& sh_;
    const search_options& o_;
    rng r_;
    bool words_;
    std::size_t ranks_;
    outcome_input s_;
    outcome_input mine_;
    std::uint64_t mine_cost_ = 0;
    std::vector<unsigned char> bytes_;
    std::uint64_t evaluations_ = 0;

public:
    std::uint64_t evaluations() const { return evaluations_; }
};

}  // namespace

search_result anneal(const search_options& o,
                     const std::function<void(std::uint64_t, double, std::uint64_t)>& progress) {
    shared_state sh(o);
    std::vector<walker> walkers;
    walkers.reserve(o.threads);
    for (unsigned t = 0; t < std::max(o.threads, 1u); ++t) walkers.emplace_back(sh, t);
    // Threads are made with pthread_create, which reports a failure where
    // std::thread would throw; the walkers that have a thread run on it.
    auto run = [](void* w) -> void* {
        static_cast<walker*>(w)->run();
        return nullptr;
    };
    std::vector<pthread_t> threads;
    for (std::size_t t = 1; t < walkers.size(); ++t) {
        pthread_t th;
        if (pthread_create(&th, nullptr, run, &walkers[t]) != 0) break;
        threads.push_back(th);
    }
    // A reporter that sleeps between looks: it takes no core from the search.
    struct reporting_state {
        shared_state* sh;
        const std::function<void(std::uint64_t, double, std::uint64_t)>* progress;
        std::mutex m;
        std::condition_variable wake;
        bool done = false;
    } rs{&sh, &progress, {}, {}, false};
    auto report = [](void* a) -> void* {
        auto* r = static_cast<reporting_state*>(a);
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(r->m);
                if (r->wake.wait_for(lock, std::chrono::milliseconds(100), [&] { return r->done; })) return nullptr;
            }
            std::uint64_t best;
            {
                std::lock_guard<std::mutex> lock(r->sh->m);
                best = r->sh->best_cost;
            }
            (*r->progress)(best, r->sh->elapsed(), r->sh->evaluations.load());
        }
    };
    pthread_t reporter;
    const bool reporting = progress && pthread_create(&reporter, nullptr, report, &rs) == 0;
    walkers[0].run();
    for (pthread_t th : threads) pthread_join(th, nullptr);
    search_result r;
    r.seconds = sh.elapsed();
    {
        std::lock_guard<std::mutex> lock(rs.m);
        rs.done = true;
    }
    rs.wake.notify_one();
    if (reporting) pthread_join(reporter, nullptr);
    r.best = sh.best;
    r.cost = sh.best_cost;
    for (const walker& w : walkers) r.evaluations += w.evaluations();
    return r;
}
