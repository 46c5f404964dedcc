// SPDX-License-Identifier: MIT
#include "anneal.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>

#include "pool.h"

namespace {

using sortcost::outcome_input;

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

// e^x for x <= 0 and ln x for x > 0, to about 1e-7 relative, with plain
// arithmetic: the same on every machine, and the tools need no maths
// library. e^x is (e^(x/64))^64, and e^(x/64) its series; ln x is k ln 2
// plus 2 atanh((m - 1) / (m + 1)) for x = m 2^k, m in [1, 2).
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
double log_positive(double x) {
    int k = 0;
    for (; x >= 2; x /= 2) ++k;
    for (; x < 1; x *= 2) --k;
    const double z = (x - 1) / (x + 1), z2 = z * z;
    double term = z, sum = 0;
    for (int i = 1; i < 40; i += 2, term *= z2) sum += term / i;
    return k * 0.6931471805599453 + 2 * sum;
}

using clock_type = std::chrono::steady_clock;

constexpr double long_sweep_share = 0.8;  // of a time limit, for the first sweep
constexpr double byte_heat = 0.0015;  // of a typical loss, as the first sweep's temperature
constexpr double wide_byte_heat = 0.003;  // the same, past cool_bytes_until
constexpr std::size_t cool_bytes_until = 512;  // elements
constexpr double warm_words_until = 192;  // elements; past it, words start cooler

struct shared_state {
    const search_options& o;
    clock_type::time_point start = clock_type::now();
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> evaluations{0};
    std::mutex m;
    outcome_input best;
    std::uint64_t best_cost = 0;
    const std::function<void(const search_result&)>* progress = nullptr;

    explicit shared_state(const search_options& opts) : o(opts) {}
    double elapsed() const { return std::chrono::duration<double>(clock_type::now() - start).count(); }
};

// One annealing walk. It runs in sweeps, each cooling from a temperature at
// which a small loss is often taken to one at which hardly any is. With a
// time limit the first sweep is a long one by the clock, four fifths of the
// time, from the walker's start: a slow cooling from the start finds the
// best region more surely than short sweeps do, whose best input a later
// sweep, cooler by then, cannot leave (with the long sweep last, the search
// fell up to 4 % short of a plain annealing at 48 to 96 bytes). Then, and
// without a time limit from the first, sweeps double in length, a thousand
// moves, then two thousand, and so on, so that every scale gets its turn
// whatever n, each from the best any walker found, or its own, shaken. The
// temperatures come from the losses that moves from the sweep's start
// cause, so they follow the cost's scale at n. Move kinds are drawn by how
// often each has paid lately.
class walker {
public:
    walker(shared_state& sh, unsigned index, unsigned walkers)
        : sh_(sh), o_(sh.o), r_(o_.seed * 0x100000001B3u + index), reports_(index == 0) {
        wrapped_ = sortcost::wrapped_order(*o_.program);
        // Bytes anneal cooler: their order is consistent, and the costly
        // inputs are found by small changes; a word's top bit turns many
        // answers at once, and the walk must cross more to find the runs
        // that pay (measured at 16 to 1,024 elements, 10 s and 30 s runs).
        // To 512 bytes, half the heat first tried settles in better local
        // maxima in a minute (96 and 128 bytes, 60 s, medians of three
        // seeds: 5,478 and 9,334 at 0.003, 5,479 and 9,349 at 0.0015); at
        // 1,024 bytes it stopped short (251,295 against 254,827).
        // Past warm_words_until words, cooler as n grows: a minute's walk
        // makes a few hundred moves an element there, and at the full heat
        // it wandered off its start and did not climb back (384 and 512
        // words, 60 s, medians of three seeds: 232,763 and 409,249 at the
        // full heat, 238,252 and 412,481 at this one).
        if (!wrapped_)
            heat_ = o_.n <= cool_bytes_until ? byte_heat : wide_byte_heat;
        else
            heat_ = std::min(1.0, warm_words_until / static_cast<double>(o_.n));
        ranks_ = static_cast<std::size_t>(std::min<std::uint64_t>(o_.n, sortcost::distinct_values(*o_.program)));
        // This walker's share of the start inputs; it begins at the costliest.
        for (std::size_t k = index; k < o_.starts.size(); k += walkers) {
            s_ = o_.starts[k];
            const std::uint64_t c = evaluate();
            offer(c);
            if (mine_.rank.empty() || c > mine_cost_) {
                mine_ = s_;
                mine_cost_ = c;
            }
        }
        if (mine_.rank.empty() && o_.starts_only && !o_.starts.empty()) {
            s_ = o_.starts[index % o_.starts.size()];
            mine_ = s_;
            mine_cost_ = evaluate();
            offer(mine_cost_);
        }
        if (!mine_.rank.empty()) {
            s_ = mine_;
            return;
        }
        s_.top.assign(o_.n, 0);
        s_.rank.assign(o_.n, 0);
        for (std::size_t i = 0; i < o_.n; ++i) {
            s_.rank[i] = static_cast<std::uint32_t>(r_.below(ranks_));
            if (wrapped_) s_.top[i] = static_cast<std::uint8_t>(r_.next() & 1);
        }
    }

    void run() {
        std::uint64_t cost = evaluate();
        if (cost > mine_cost_ || mine_.rank.empty()) {
            mine_ = s_;
            mine_cost_ = cost;
        }
        offer(cost);
        for (int sweep = 0; !stopped(); ++sweep) {
            const bool timed = o_.seconds > 0;
            const double begins = sh_.elapsed();
            const double length = timed && sweep == 0 ? o_.seconds * long_sweep_share : 0;  // by the clock, else by moves
            const std::uint64_t moves = std::uint64_t{1000} << std::min(timed ? std::max(sweep - 1, 0) : sweep, 40);
            const double hot = std::max(1.0, typical_loss(cost) * heat_), cold = std::max(0.2, hot / 1000);
            const double fall = log_positive(cold / hot);  // ln(cold / hot), at most 0
            double t = hot;
            for (std::uint64_t k = 0; !stopped(); ++k) {
                if ((k & 63) == 0) {  // where the sweep is, from 0 to 1
                    const double at = length > 0 ? (sh_.elapsed() - begins) / length : static_cast<double>(k) / static_cast<double>(moves);
                    if (at >= 1) break;
                    t = hot * exp_nonpositive(at * fall);
                }
                const move m = propose();
                const std::uint64_t c = evaluate();
                ++tried_[m.k];
                if (c >= cost || r_.unit() < exp_nonpositive((static_cast<double>(c) - static_cast<double>(cost)) / t)) {
                    if (c > cost) ++paid_[m.k];
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
            for (std::size_t k = 1 + r_.below(3); k > 0; --k) propose();  // shaken, to leave the last sweep's track
            cost = evaluate();
        }
    }

    std::uint64_t evaluations() const { return evaluations_; }

private:
    enum kind { set_rank, nudge, swap_two, tie, rotate, reverse, flip_top, kinds };
    struct move {
        kind k;
        std::size_t i, j;
        std::uint32_t old_rank;
    };

    // A small loss among those moves from here cause (undone), the lowest
    // third of them: near a good input most moves fall off a cliff, and a
    // temperature at which those are taken would leave it at once.
    double typical_loss(std::uint64_t cost) {
        double losses[40];
        int count = 0;
        for (int k = 0; k < 40 && !stopped(); ++k) {
            const move m = propose();
            const std::uint64_t c = evaluate();
            if (c < cost) losses[count++] = static_cast<double>(cost - c);
            undo(m);
        }
        if (count == 0) return 1;
        std::nth_element(losses, losses + count / 3, losses + count);
        return std::max(1.0, losses[count / 3]);
    }

    // A kind by how often each has raised the cost lately (every kind keeps
    // a chance), then the move.
    move propose() {
        const int count = wrapped_ ? kinds : flip_top;
        if ((++proposals_ & 4095) == 0) {
            // Each kind's rate of gains, smoothed, and never below a tenth
            // of the best kind's.
            double top = 0;
            for (int k = 0; k < kinds; ++k) {
                weight_[k] = (weight_[k] + (static_cast<double>(paid_[k]) + 1) / (static_cast<double>(tried_[k]) + 20)) / 2;
                top = std::max(top, weight_[k]);
                paid_[k] = tried_[k] = 0;
            }
            for (double& w : weight_) w = std::max(w, top / 10);
        }
        double total = 0;
        for (int k = 0; k < count; ++k) total += weight_[k];
        double pick = r_.unit() * total;
        int k = 0;
        while (k + 1 < count && (pick -= weight_[k]) >= 0) ++k;
        const std::size_t n = o_.n;
        move m{static_cast<kind>(k), r_.below(n), r_.below(n), 0};
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
            case reverse:
                // A short stretch turned round: its order reversed in place.
                m.j = std::min(n - 1, m.i + 1 + r_.below(16));
                reverse_stretch(m.i, m.j);
                break;
            case kinds: break;
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
            case reverse: reverse_stretch(m.i, m.j); break;
            case kinds: break;
        }
    }

    // Moves the element at `from` to `to`, the ones between by one place.
    void rotate_element(std::size_t from, std::size_t to) {
        auto turn = [&](auto& v) {
            const auto f = static_cast<std::ptrdiff_t>(from), t = static_cast<std::ptrdiff_t>(to);
            if (from < to)
                std::rotate(v.begin() + f, v.begin() + f + 1, v.begin() + t + 1);
            else if (to < from)
                std::rotate(v.begin() + t, v.begin() + f, v.begin() + f + 1);
        };
        turn(s_.rank);
        turn(s_.top);
    }
    void reverse_stretch(std::size_t i, std::size_t j) {
        std::reverse(s_.rank.begin() + static_cast<std::ptrdiff_t>(i), s_.rank.begin() + static_cast<std::ptrdiff_t>(j) + 1);
        std::reverse(s_.top.begin() + static_cast<std::ptrdiff_t>(i), s_.top.begin() + static_cast<std::ptrdiff_t>(j) + 1);
    }

    std::uint64_t evaluate() {
        bytes_ = sortcost::realise(*o_.program, s_);
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
        if ((evaluations_ & 31) == 0 && (o_.seconds > 0 || reports_)) {
            const double t = sh_.elapsed();
            if (o_.seconds > 0 && t >= o_.seconds) sh_.stop = true;
            if (reports_ && sh_.progress && t >= next_report_) {
                next_report_ = t + 0.1;
                search_result so_far;
                {
                    std::lock_guard<std::mutex> lock(sh_.m);
                    so_far.best = sh_.best;
                    so_far.cost = sh_.best_cost;
                }
                so_far.seconds = t;
                so_far.evaluations = sh_.evaluations.load(std::memory_order_relaxed);
                (*sh_.progress)(so_far);
            }
        }
        return sh_.stop.load(std::memory_order_relaxed);
    }

    shared_state& sh_;
    const search_options& o_;
    rng r_;
    bool reports_;
    bool wrapped_;
    std::size_t ranks_;
    double heat_;  // the first temperature, as a share of a typical loss
    outcome_input s_;
    outcome_input mine_;
    std::uint64_t mine_cost_ = 0;
    std::vector<unsigned char> bytes_;
    std::uint64_t evaluations_ = 0;
    double next_report_ = 0;
    std::uint64_t proposals_ = 0;
    double weight_[kinds] = {1, 1, 1, 1, 1, 1, 1};
    std::uint64_t paid_[kinds] = {}, tried_[kinds] = {};
};

}  // namespace

search_result anneal(const search_options& o, const std::function<void(const search_result&)>& progress) {
    shared_state sh(o);
    if (progress) sh.progress = &progress;
    std::vector<std::uint64_t> evaluations(std::max(o.threads, 1u));
    run_workers(o.threads, [&](unsigned index, unsigned walkers) {
        walker w(sh, index, walkers);
        w.run();
        evaluations[index] = w.evaluations();
    });
    search_result r;
    r.seconds = sh.elapsed();
    r.best = sh.best;
    r.cost = sh.best_cost;
    for (std::uint64_t e : evaluations) r.evaluations += e;
    return r;
}
