// SPDX-License-Identifier: MIT
#include "costliest.h"

#include <algorithm>
#include <cstring>

#include "adversary.h"
#include "anneal.h"
#include "exhaustive.h"
#include "inputs.h"
#include "outcomes.h"

ceiling_input adversary_input(const std::string& program, std::size_t n) {
    ceiling_input c;
    std::uint64_t unused = 0;
    if (program != "qsort_bytes" || n <= 256) {
        c.bytes = input_of(program, adversarial_values(n, element_size(program), unused));
        c.how = "McIlroy's adversary";
    } else {
        // More elements than byte values: the adversary needs n distinct
        // values. Capped, the first 255 items it fixed keep their values, so
        // the first partitions still go wrong; the rest are one equal block.
        auto adv = adversarial_values(n, 2, unused);
        std::vector<ceiling_input> tries(4);
        for (std::size_t i = 0; i < n; ++i) {
            tries[0].bytes.push_back(static_cast<unsigned char>(std::min<std::uint32_t>(adv[i], 255)));
            tries[1].bytes.push_back(static_cast<unsigned char>(adv[i] * 256 / n));
            tries[2].bytes.push_back(static_cast<unsigned char>(adv[i] % 256));
            tries[3].bytes.push_back(static_cast<unsigned char>(255 - i * 256 / n));
        }
        tries[0].how = "McIlroy's adversary, values above 255 cut to 255";
        tries[1].how = "McIlroy's adversary, values scaled to bytes";
        tries[2].how = "McIlroy's adversary, values modulo 256";
        tries[3].how = "descending bytes";
        for (auto& t : tries) t.cost = program_cost(program, t.bytes);
        return *std::max_element(tries.begin(), tries.end(), [](auto& x, auto& y) { return x.cost < y.cost; });
    }
    c.cost = program_cost(program, c.bytes);
    return c;
}

ceiling_input construction(const std::string& program, std::size_t n) {
    if (program == "isort_words") {
        // Every pair out of order: n (n - 1) / 2 exchanges, the most there are.
        std::vector<std::uint32_t> v(n);
        for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<std::uint32_t>(n - 1 - i);
        ceiling_input c{input_of(program, v), 0, true, "distinct words in descending order: every pair out of order"};
        c.cost = program_cost(program, c.bytes);
        return c;
    }
    ceiling_input adversary = adversary_input(program, n);
    if (program == "qsort_bytes") return adversary;
    // Two words 2^31 apart each order before the other, while equal words
    // stop the scans: runs of the two cost about 1.5 n^2, three times the
    // adversary's n^2 / 2 on large inputs.
    std::vector<std::uint32_t> runs(n, 0);
    for (std::size_t i = 0; i < n; ++i) runs[i] = (i == 0 || (i >= n / 2 && i + 1 < n)) ? 0x80000000u : 0;
    ceiling_input half_turns{input_of(program, runs), 0, false,
                             "one word 2^31, then n/2 - 1 words 0, n/2 - 1 words 2^31 and one 0"};
    half_turns.cost = program_cost(program, half_turns.bytes);
    return half_turns.cost > adversary.cost ? half_turns : adversary;
}

namespace {

// For a size with no record: the nearest smaller record, grown to n
// elements in a few ways (copies of its last or first element, new
// elements above or below all others, its pattern repeated), the costliest
// of those, and then a short search from it and from `start`, the same
// every run (one thread, a fixed seed, a budget of inputs that shrinks with
// n squared, as each costs more).
ceiling_input grown(const std::string& program, std::size_t n, const std::vector<record>& records,
                    const std::string& records_dir, const ceiling_input& start) {
    const record* nearest = nullptr;
    for (const record& r : records)
        if (r.program == program && r.elements < n && r.elements > 0 && (!nearest || r.elements > nearest->elements))
            nearest = &r;
    const sortcost::program_info* p = sortcost::find_program(program.c_str());
    const std::size_t elem = p->element_size;
    std::vector<outcome_input> tries;
    if (nearest) {
        const outcome_input from = describe(record_bytes(records_dir, *nearest), elem);
        const std::size_t m = from.rank.size();
        if (m > 0) {
            std::uint32_t top_rank = *std::max_element(from.rank.begin(), from.rank.end());
            for (int way = 0; way < 5; ++way) {
                outcome_input t = from;
                for (std::size_t i = m; i < n; ++i) {
                    std::size_t copy = way == 0 ? m - 1 : way == 4 ? i % m : 0;
                    std::uint32_t rank = way == 2 ? top_rank + static_cast<std::uint32_t>(i - m + 1) : from.rank[copy];
                    if (way == 3) rank = 0;
                    if (elem == 1) rank = std::min<std::uint32_t>(rank, 255);
                    t.rank.push_back(rank);
                    t.top.push_back(from.top[copy]);
                }
                if (way == 1) {  // the copies go in front instead
                    std::rotate(t.rank.begin(), t.rank.begin() + static_cast<std::ptrdiff_t>(m), t.rank.end());
                    std::rotate(t.top.begin(), t.top.begin() + static_cast<std::ptrdiff_t>(m), t.top.end());
                }
                tries.push_back(t);
            }
        }
    }
    ceiling_input best = start;
    auto consider = [&](const outcome_input& t, const std::string& how) {
        std::vector<unsigned char> bytes = realise(t, elem);
        std::uint64_t cost = program_cost(program, bytes);
        if (cost > best.cost) best = {bytes, cost, false, how};
        return cost;
    };
    const std::string grown_how = nearest ? "the record of " + std::to_string(nearest->elements) + " grown to " + std::to_string(n) : "";
    for (const outcome_input& t : tries) consider(t, grown_how);
    // Where few elements are missing: add them one at a time, each where it
    // costs the most, trying every place and a few values (a copy of a
    // neighbour, with either top bit, or one below or above all others).
    if (nearest && (n - nearest->elements) * n <= 20000) {
        outcome_input cur = describe(record_bytes(records_dir, *nearest), elem);
        while (cur.rank.size() < n) {
            outcome_input pick;
            std::uint64_t pick_cost = 0;
            const std::size_t m = cur.rank.size();
            for (std::size_t at = 0; at <= m; ++at) {
                for (int way = 0; way < 6; ++way) {
                    outcome_input t = cur;
                    std::size_t near = at < m ? at : m - 1;
                    if (way == 1 && at > 0) near = at - 1;
                    std::uint32_t rank = t.rank[near];
                    std::uint8_t top = t.top[near];
                    if (way == 2 || way == 3) top ^= elem == 4 ? 1 : 0;
                    if (way == 4) {  // below all others: every rank moves up
                        if (elem == 1 && *std::max_element(t.rank.begin(), t.rank.end()) >= 255) continue;
                        for (auto& r : t.rank) ++r;
                        rank = 0;
                    }
                    if (way == 5) {
                        rank = *std::max_element(t.rank.begin(), t.rank.end()) + 1;
                        if (elem == 1 && rank > 255) continue;
                    }
                    t.rank.insert(t.rank.begin() + static_cast<std::ptrdiff_t>(at), rank);
                    t.top.insert(t.top.begin() + static_cast<std::ptrdiff_t>(at), top);
                    std::vector<unsigned char> bytes = realise(t, elem);
                    std::uint64_t cost = program_cost(program, bytes);
                    if (cost > pick_cost) {
                        pick = t;
                        pick_cost = cost;
                    }
                }
            }
            cur = pick;
        }
        consider(cur, grown_how + ", one element at a time where it cost the most");
    }
    if (n > 1024) return best;
    search_options o;
    o.program = p;
    o.n = n;
    o.threads = 1;
    o.seed = 1;
    o.evaluations = std::clamp<std::uint64_t>(200000000 / (n * n), 500, 200000);
    o.starts = {describe(best.bytes, elem), describe(start.bytes, elem)};
    search_result r = anneal(o, nullptr);
    if (r.cost > best.cost)
        best = {realise(r.best, elem), r.cost, false,
                best.how + ", then annealed over " + std::to_string(r.evaluations) + " inputs (one thread, seed 1)"};
    return best;
}

// Every record of at least n / 256 and at most n / 2 elements stretched to
// n, element i taken from element i m / n of the record's m: a record's
// shape, scaled. Where the partitions scale with it (n = m 2^k) a shape can
// keep its cost per n^2: one 256-word input keeps about 1.65 n^2 to 16,384
// words, where the runs of 0s and 2^31s cost 1.5 n^2.
ceiling_input stretched(const std::string& program, std::size_t n, const std::vector<record>& records,
                        const std::string& records_dir, const ceiling_input& start) {
    ceiling_input best = start;
    const std::size_t elem = element_size(program);
    for (const record& r : records) {
        if (r.program != program || r.elements < 16 || r.elements * 256 < n || 2 * r.elements > n) continue;
        const auto m = static_cast<std::size_t>(r.elements);  // at most n / 2
        std::vector<unsigned char> from = record_bytes(records_dir, r);
        if (from.size() < m * elem) continue;
        std::vector<unsigned char> bytes(n * elem);
        for (std::size_t i = 0; i < n; ++i) std::memcpy(&bytes[i * elem], &from[i * m / n * elem], elem);
        const std::uint64_t cost = program_cost(program, bytes);
        if (cost <= best.cost) continue;
        const std::string how = "the record of " + std::to_string(m) + " stretched to " + std::to_string(n) + ": ";
        best = {bytes, cost, false,
                how + (n % m == 0 ? "each element repeated " + std::to_string(n / m) + " times"
                                  : "element i is the record's element i * " + std::to_string(m) + " / " + std::to_string(n))};
    }
    return best;
}

}  // namespace

ceiling_input costliest(const std::string& program, std::size_t n, const std::vector<record>& records,
                        const std::string& records_dir, std::size_t search_up_to, bool grow) {
    ceiling_input best = construction(program, n);
    bool recorded = false;
    for (const record& r : records) recorded = recorded || (r.program == program && r.elements == n);
    if (grow && !recorded && !best.exact) best = grown(program, n, records, records_dir, best);
    if (!best.exact && program != "isort_words") best = stretched(program, n, records, records_dir, best);
    for (const record& r : records) {
        if (r.program != program || r.elements != n) continue;
        ceiling_input c;
        c.bytes = record_bytes(records_dir, r);
        c.cost = program_cost(program, c.bytes);
        c.exact = r.status == "exact" && c.cost == r.cost;
        c.how = "record: " + r.method;
        if (c.cost > best.cost || (c.cost == best.cost && c.exact)) best = c;
    }
    if (!best.exact && n >= 1 && n <= search_up_to && static_cast<int>(n) <= exhaustive_max_elements) {
        exact_maximum m = exhaustive_maximum(program, static_cast<int>(n));
        best = {m.witness, m.cost, true, "exact maximum, found by trying every course of answers"};
    }
    return best;
}
