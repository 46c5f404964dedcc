// SPDX-License-Identifier: MIT
// The yardstick for sortcost-search: a plain simulated annealing over the
// same comparison outcomes (each word's top bit and the rank of its low
// part; a byte's value), written apart from the search. It starts where
// sortcost-search --fresh starts, from the costliest input a rule builds (a
// random start is no fair yardstick: it ends far below at 128 elements and
// more); each move, chosen evenly, gives one element a random rank, moves
// its rank one up or down, flips its top bit (words), or exchanges two
// elements; the temperature falls geometrically over the whole time, from
// the mean loss of a random move at the start, times a heat, to a thousandth
// of that; a move is taken with Metropolis' rule. The heat, its one knob,
// was tuned by hand on 10 s runs: 2 / n for words (tried at 16 to 128),
// 0.003 for bytes (tried at 64 to 384).
//
//   plain_anneal PROGRAM N SECONDS SEED OUT    (prints the best cost; OUT gets the input)
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "program_model.h"
#include "starts.h"

namespace {

struct rng {
    std::uint64_t s;
    std::uint64_t next() {
        std::uint64_t z = (s += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        return z ^ (z >> 31);
    }
    std::uint32_t below(std::uint64_t n) { return static_cast<std::uint32_t>(next() % n); }
    double unit() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "Usage: plain_anneal PROGRAM N SECONDS SEED OUT\n");
        return 2;
    }
    const sortcost::program_info* p = sortcost::find_program(argv[1]);
    const std::size_t n = std::strtoull(argv[2], nullptr, 10);
    const double seconds = std::strtod(argv[3], nullptr);
    rng r{std::strtoull(argv[4], nullptr, 10)};
    if (!p || p->sort != sortcost::sort_kind::quicksort || n == 0) return 2;
    const bool words = sortcost::answers_of(*p).top_bit;
    const std::uint64_t ranks = words ? n : std::min<std::size_t>(n, 256);

    sortcost::outcome_input s = sortcost::describe(*p, costliest_of(constructions(*p, n)).bytes);
    auto cost = [&] { return static_cast<double>(sortcost::cost_of(*p, sortcost::realise(*p, s))); };
    struct change {
        std::size_t i, j;  // the elements changed (j == i: one)
        std::uint32_t rank_i, rank_j;
        std::uint8_t top_i, top_j;
    };
    auto move = [&] {
        const std::size_t i = r.below(n), j = r.below(n);
        change c{i, j, s.rank[i], s.rank[j], s.top[i], s.top[j]};
        switch (r.below(words ? 4 : 3)) {
            case 0: s.rank[i] = r.below(ranks); break;
            case 1: s.rank[i] = (r.next() & 1) ? std::min<std::uint32_t>(s.rank[i] + 1, static_cast<std::uint32_t>(ranks - 1))
                                                 : s.rank[i] - (s.rank[i] > 0); break;
            case 2: std::swap(s.rank[i], s.rank[j]), std::swap(s.top[i], s.top[j]); break;
            default: s.top[i] ^= 1; break;
        }
        return c;
    };
    auto undo = [&](const change& c) {
        s.rank[c.j] = c.rank_j;
        s.top[c.j] = c.top_j;
        s.rank[c.i] = c.rank_i;
        s.top[c.i] = c.top_i;
    };

    double current = cost(), loss = 0;
    int losses = 0;
    for (int k = 0; k < 100; ++k) {
        const change c = move();
        const double d = cost() - current;
        if (d < 0) loss -= d, ++losses;
        undo(c);
    }
    const double heat = words ? 2.0 / static_cast<double>(n) : 0.003;
    const double hot = heat * (losses ? loss / losses : 1), cold = hot / 1000;
    sortcost::outcome_input best = s;
    double best_cost = current;
    const auto start = std::chrono::steady_clock::now();
    double t = hot;
    for (std::uint64_t k = 0;; ++k) {
        if ((k & 63) == 0) {
            const double f = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / seconds;
            if (f >= 1) break;
            t = hot * std::pow(cold / hot, f);
        }
        const change c = move();
        const double next = cost();
        if (next >= current || r.unit() < std::exp((next - current) / t)) {
            current = next;
            if (current > best_cost) {
                best_cost = current;
                best = s;
            }
        } else {
            undo(c);
        }
    }
    const std::vector<unsigned char> bytes = sortcost::realise(*p, best);
    std::FILE* out = std::fopen(argv[5], "wb");
    if (!out || std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size() || std::fclose(out) != 0) return 1;
    std::printf("%.0f\n", best_cost);
    return 0;
}
