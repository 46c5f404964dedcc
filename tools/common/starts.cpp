// SPDX-License-Identifier: MIT
#include "starts.h"

#include <algorithm>
#include <cstring>

#include "adversary.h"
#include "cli.h"
#include "corpus.h"
#include "safe_file.h"
#include "program_model.h"

using namespace sortcost;

namespace {

known_input costed(const program_info& p, std::vector<unsigned char> bytes, std::string how) {
    const std::uint64_t cost = cost_of(p, bytes);
    return {std::move(bytes), cost, false, std::move(how), ""};
}

// `from` brought to n elements one at a time, each step the one that leaves
// the costliest input: growing, a copy of a neighbour (with its top bit or
// the other) or an element below or above all others, at every place;
// shrinking, each element dropped in turn.
outcome_input step_to(const program_info& p, outcome_input cur, std::size_t n) {
    const std::uint32_t most = largest_low(p);
    while (cur.rank.size() != n && !cur.rank.empty()) {
        outcome_input pick;
        std::uint64_t pick_cost = 0;
        auto consider = [&](const outcome_input& t) {
            const std::uint64_t c = cost_of(p, realise(p, t));
            if (c > pick_cost) pick = t, pick_cost = c;
        };
        const std::size_t m = cur.rank.size();
        for (std::size_t at = 0; m > n && at < m; ++at) {
            outcome_input t = cur;
            t.rank.erase(t.rank.begin() + static_cast<std::ptrdiff_t>(at));
            t.top.erase(t.top.begin() + static_cast<std::ptrdiff_t>(at));
            consider(t);
        }
        const std::uint32_t highest = *std::max_element(cur.rank.begin(), cur.rank.end());
        for (std::size_t at = 0; at <= m && m < n; ++at) {
            for (int way = 0; way < 6; ++way) {
                outcome_input t = cur;
                const std::size_t near = way == 1 && at > 0 ? at - 1 : std::min(at, m - 1);
                std::uint32_t rank = t.rank[near];
                std::uint8_t top = t.top[near];
                if (way == 2 || way == 3) top = wrapped_order(p) ? top ^ 1 : 0;
                if (way == 4) {  // below all others: every rank moves up
                    if (highest >= most) continue;
                    for (auto& r : t.rank) ++r;
                    rank = 0;
                }
                if (way == 5) {
                    if (highest >= most) continue;
                    rank = highest + 1;
                }
                t.rank.insert(t.rank.begin() + static_cast<std::ptrdiff_t>(at), rank);
                t.top.insert(t.top.begin() + static_cast<std::ptrdiff_t>(at), top);
                consider(t);
            }
        }
        cur = pick;
    }
    return cur;
}

}  // namespace

known_input adversary_input(const program_info& program, std::size_t n) {
    std::uint64_t unused = 0;
    const std::uint64_t values = distinct_values(program);
    if (n <= values)
        return costed(program, encode(program, adversarial_values(n, program.element_size, unused)), "McIlroy's adversary");
    // More elements than values: the adversary needs n distinct values.
    // Capped, the first items it fixed keep their values, so the first
    // partitions still go wrong; the rest are one equal block.
    const std::vector<std::uint32_t> adv = adversarial_values(n, 2, unused);
    const std::uint32_t most = largest_low(program);
    std::vector<std::uint32_t> ways[4];
    for (std::size_t i = 0; i < n; ++i) {
        ways[0].push_back(std::min(adv[i], most));
        ways[1].push_back(static_cast<std::uint32_t>(adv[i] * values / n));
        ways[2].push_back(static_cast<std::uint32_t>(adv[i] % values));
        ways[3].push_back(static_cast<std::uint32_t>(most - i * values / n));
    }
    const std::string top = std::to_string(most);
    const std::string how[4] = {"McIlroy's adversary, values above " + top + " cut to " + top,
                                "McIlroy's adversary, values scaled to bytes",
                                "McIlroy's adversary, values modulo " + std::to_string(values), "descending bytes"};
    std::vector<known_input> tries;
    for (int w = 0; w < 4; ++w) tries.push_back(costed(program, encode(program, ways[w]), how[w]));
    return costliest_of(tries);
}

std::vector<known_input> constructions(const program_info& program, std::size_t n) {
    closed_form max;
    if (closed_form_maximum(program, n, max))
        return {{encode(program, max.values), max.cost, true, "distinct words in descending order: every pair out of order", ""}};
    std::vector<known_input> out{adversary_input(program, n)};
    if (!wrapped_order(program)) return out;
    // Two words 2^31 apart each order before the other, while equal words
    // stop the scans: runs of the two cost about 1.5 n^2, three times the
    // adversary's n^2 / 2 on large inputs.
    const std::uint32_t opposite = join(answers_of(program), true, 0);  // the word with only its top bit set
    std::vector<std::uint32_t> runs(n, 0);
    for (std::size_t i = 0; i < n; ++i) runs[i] = (i == 0 || (i >= n / 2 && i + 1 < n)) ? opposite : 0;
    out.push_back(costed(program, encode(program, runs), "one word 2^31, then n/2 - 1 words 0, n/2 - 1 words 2^31 and one 0"));
    return out;
}

namespace {

// The record `smaller` grown to n elements, in each of the ways.
void grown(const program_info& program, std::size_t n, const record& smaller, const std::string& dir,
           std::vector<known_input>& out) {
    const outcome_input from = describe(program, record_bytes(dir, smaller));
    const std::size_t m = from.rank.size();
    const std::string how = "the record of " + std::to_string(smaller.elements) + " grown to " + std::to_string(n);
    const std::uint32_t top_rank = m ? *std::max_element(from.rank.begin(), from.rank.end()) : 0;
    const std::uint32_t most = largest_low(program);
    for (int way = 0; way < 5 && m > 0; ++way) {
        outcome_input t = from;
        for (std::size_t i = m; i < n; ++i) {
            const std::size_t copy = way == 0 ? m - 1 : way == 4 ? i % m : 0;
            std::uint32_t rank = way == 2 ? top_rank + static_cast<std::uint32_t>(i - m + 1) : from.rank[copy];
            if (way == 3) rank = 0;
            t.rank.push_back(std::min(rank, most));
            t.top.push_back(from.top[copy]);
        }
        if (way == 1) {  // the copies go in front instead
            std::rotate(t.rank.begin(), t.rank.begin() + static_cast<std::ptrdiff_t>(m), t.rank.end());
            std::rotate(t.top.begin(), t.top.begin() + static_cast<std::ptrdiff_t>(m), t.top.end());
        }
        out.push_back(costed(program, realise(program, t), how));
    }
    // Where few elements are missing, added one at a time.
    if (m > 0 && (n - m) * n <= 20000)
        out.push_back(costed(program, realise(program, step_to(program, from, n)),
                             how + ", one element at a time where it cost the most"));
}

// The record `larger` cut to its first n elements, and stepped down to n.
void cut(const program_info& program, std::size_t n, const record& larger, const std::string& dir,
         std::vector<known_input>& out) {
    const std::size_t size = program.element_size;
    const std::string how = "the record of " + std::to_string(larger.elements) + " cut to " + std::to_string(n);
    std::vector<unsigned char> bytes = record_bytes(dir, larger);
    if (bytes.size() >= n * size) {
        const std::size_t m = bytes.size() / size;
        if ((m - n) * m <= 20000)
            out.push_back(costed(program, realise(program, step_to(program, describe(program, bytes), n)),
                                 how + ", one element at a time where it cost the most"));
        bytes.resize(n * size);
        out.push_back(costed(program, bytes, how + ": its first " + std::to_string(n)));
    }
}

// Each record's shape, scaled to n elements.
void stretched(const program_info& program, std::size_t n, const std::vector<record>& records, const std::string& dir,
               std::vector<known_input>& out) {
    const std::size_t size = program.element_size;
    // A record's shape, scaled. Where the partitions scale with it
    // (n = m 2^k) a shape can keep its cost per n^2.
    for (const record& r : records) {
        if (r.program != &program || r.elements < 16 || r.elements * 256 < n || 2 * r.elements > n) continue;
        const auto m = static_cast<std::size_t>(r.elements);
        const std::vector<unsigned char> from = record_bytes(dir, r);
        if (from.size() < m * size) continue;
        std::vector<unsigned char> bytes(n * size);
        for (std::size_t i = 0; i < n; ++i) std::memcpy(&bytes[i * size], &from[i * m / n * size], size);
        const std::string how = "the record of " + std::to_string(m) + " stretched to " + std::to_string(n) + ": ";
        out.push_back(costed(program, bytes,
                             how + (n % m == 0 ? "each element repeated " + std::to_string(n / m) + " times"
                                               : "element i is the record's element i * " + std::to_string(m) + " / " +
                                                     std::to_string(n))));
    }
}

}  // namespace

std::vector<known_input> from_other_sizes(const program_info& program, std::size_t n, const std::vector<record>& records,
                                          const std::string& dir) {
    std::vector<known_input> out;
    const record* smaller = nullptr;
    const record* larger = nullptr;
    for (const record& r : records) {
        if (r.program != &program || r.elements == n) continue;
        if (r.elements < n && (!smaller || r.elements > smaller->elements)) smaller = &r;
        if (r.elements > n && (!larger || r.elements < larger->elements)) larger = &r;
    }
    if (smaller) grown(program, n, *smaller, dir, out);
    if (larger) cut(program, n, *larger, dir, out);
    stretched(program, n, records, dir, out);
    return out;
}

known_input costliest_of(const std::vector<known_input>& inputs) {
    known_input best;
    for (const known_input& k : inputs)
        if (best.bytes.empty() || k.cost > best.cost || (k.cost == best.cost && k.exact && !best.exact)) best = k;
    return best;
}

bool inputs_in_folder(const program_info& program, std::size_t n, const std::string& dir, std::vector<known_input>& out,
                      std::string& error) {
    const std::size_t size = program.element_size;
    for (const corpus_entry& e : list_corpus({dir}, false)) {
        std::string text;
        if (e.unlisted != 0) {
            error = escaped_path(e.path) + ": " + std::strerror(e.unlisted);
            return false;
        }
        if (!read_regular_file(e.path, text, error)) return false;
        if (text.size() / size > n) {
            error = escaped_path(e.path) + ": more than " + std::to_string(n) + " elements";
            return false;
        }
        std::vector<unsigned char> bytes(n * size, 0);
        std::memcpy(bytes.data(), text.data(), text.size() / size * size);
        out.push_back(costed(program, std::move(bytes), "the start input " + escaped_path(e.path)));
    }
    if (out.empty()) error = escaped_path(dir) + ": no input in it";
    return !out.empty();
}
