// SPDX-License-Identifier: MIT
#include "exhaustive.h"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Hooks.h"
#include "gnuqsort.h"
#include "inputs.h"

// The quicksort asks only whether compare(x, y) < 0, so a run is fixed by the
// answers to its questions, and the maximum over all inputs is the maximum
// over every course of answers some input can give.
//
// Split a 32-bit word into its top bit and its 31 low bits. The wrapped
// difference x - y is negative exactly when the top bits are equal and
// low(x) < low(y), or differ and low(x) >= low(y). So every answer follows
// from the top bits and the order of the low parts, and every such
// arrangement is an input (low part = its rank, plus 2^31 where the top bit
// is set). Adding one constant to every word changes no difference: element
// 0 may be taken as the word 0, so its top bit is 0 and its low part is the
// least. Bytes compare as unsigned numbers: one order, all top bits 0.
//
// The search runs the program's own sort. Each question whose answer is not
// yet implied by the earlier answers is a choice between the two; a run
// follows a list of choices and takes the first answer past its end, and the
// next run flips the last choice not yet flipped. So each run is one course
// of answers, and every input's course is among them.
using namespace sortcost;

namespace {

using bits = std::uint32_t;  // a set of elements

// What the answers so far say of the input. le and lt are closed under
// transitivity, and le is reflexive.
struct partial_input {
    int n = 0;
    int top[exhaustive_max_elements];  // -1 while no answer has needed it
    bits le[exhaustive_max_elements];  // bit v of le[u]: low(u) <= low(v)
    bits lt[exhaustive_max_elements];  // bit v of lt[u]: low(u) < low(v)

    void start(int elements, bool words) {
        n = elements;
        for (int u = 0; u < n; ++u) {
            top[u] = words ? -1 : 0;
            le[u] = bits{1} << u;
            lt[u] = 0;
        }
        if (!words) return;
        top[0] = 0;
        for (int v = 1; v < n; ++v) add_le(0, v);
    }
    bool known_le(int x, int y) const { return le[x] >> y & 1; }
    bool known_lt(int x, int y) const { return lt[x] >> y & 1; }

    // low(x) <= low(y): whatever was at or below x is now at or below
    // everything at or above y, and strictly where a step was strict.
    void add_le(int x, int y) {
        const bits above = le[y], strictly_above = lt[y];
        for (int u = 0; u < n; ++u) {
            if (known_le(u, x)) {
                le[u] |= above;
                lt[u] |= strictly_above;
            }
            if (known_lt(u, x)) lt[u] |= above;
        }
    }
    void add_lt(int x, int y) {
        const bits above = le[y];
        for (int u = 0; u < n; ++u) {
            if (known_le(u, x)) {
                le[u] |= above;
                lt[u] |= above;
            }
        }
    }

    // An input that gives every answer recorded: each low part is the number
    // of elements known to lie strictly below it, so < and <= both hold.
    std::vector<std::uint32_t> values() const {
        std::vector<std::uint32_t> v(static_cast<std::size_t>(n));
        for (int u = 0; u < n; ++u) {
            std::uint32_t below = 0;
            for (int w = 0; w < n; ++w) below += known_lt(w, u);
            v[static_cast<std::size_t>(u)] = below | static_cast<std::uint32_t>(top[u] > 0) << 31;
        }
        return v;
    }
};

// Answers the sort's questions about elements numbered 0 .. n-1, stored in
// the sorted array as Item, from a list of choices.
template <class Item>
struct oracle {
    partial_input input;
    std::vector<std::uint8_t> choices;
    std::size_t next = 0;

    int choose() {
        if (next == choices.size()) choices.push_back(0);
        return choices[next++];
    }

    bool before(int x, int y) {
        for (int u : {x, y})
            if (input.top[u] < 0) input.top[u] = choose();
        const bool can_lt = !input.known_le(y, x);
        const bool can_ge = !input.known_lt(x, y);
        const bool lower = can_lt && can_ge ? choose() == 0 : can_lt;
        if (lower)
            input.add_lt(x, y);
        else
            input.add_le(y, x);
        return input.top[x] == input.top[y] ? lower : !lower;
    }

    // One step a call, as the programs' comparators take.
    static int compare(const void* a, const void* b, void* self) {
        cost_inc();
        Item x;
        Item y;
        std::memcpy(&x, a, sizeof x);
        std::memcpy(&y, b, sizeof y);
        if (x == y) return 0;
        return static_cast<oracle*>(self)->before(static_cast<int>(x), static_cast<int>(y)) ? -1 : 1;
    }
};

// The first `split_depth` choices of a course of answers name the share of
// the search it falls in: one share per distinct prefix of that many
// choices (or per whole course, for a course with fewer), each explored on
// its own, so that threads and machines can take shares apart.
constexpr std::size_t split_depth = 12;

template <class Item>
struct explorer {
    int n;
    bool words;
    oracle<Item> o;
    Item items[exhaustive_max_elements];

    // Runs the sort once along o.choices (then first answers) and returns its cost.
    std::uint64_t run() {
        o.input.start(n, words);
        o.next = 0;
        for (int i = 0; i < n; ++i) items[i] = static_cast<Item>(i);
        std::uint64_t before = cost_read();
        gnu_quicksort(items, static_cast<std::uint64_t>(n), sizeof(Item), inline_compare<&oracle<Item>::compare>{}, &o);
        // main's, read_file's and test_qsort's entry steps, then the sort's.
        return 3 + (cost_read() - before);
    }

    // The next course of answers: flip the last choice, at `floor` or past
    // it, not yet flipped; false when there is none.
    bool advance(std::size_t floor) {
        o.choices.resize(o.next);
        while (o.choices.size() > floor && o.choices.back() == 1) o.choices.pop_back();
        if (o.choices.size() <= floor) return false;
        o.choices.back() = 1;
        return true;
    }

    // Every course of answers that begins with `prefix`.
    void explore(const std::vector<std::uint8_t>& prefix, exact_maximum& best, std::vector<std::uint32_t>& best_values) {
        o.choices = prefix;
        do {
            std::uint64_t cost = run();
            ++best.runs;
            if (cost > best.cost) {
                best.cost = cost;
                best_values = o.input.values();
            }
        } while (advance(prefix.size()));
    }

    // The shares, in a fixed order.
    std::vector<std::vector<std::uint8_t>> shares() {
        std::vector<std::vector<std::uint8_t>> out;
        o.choices.clear();
        for (;;) {
            run();
            o.next = std::min(o.next, split_depth);
            o.choices.resize(o.next);
            out.push_back(o.choices);
            if (!advance(0)) break;
        }
        return out;
    }
};

template <class Item>
exact_maximum search(int n, bool words, unsigned part, unsigned parts, unsigned threads,
                     std::vector<std::uint32_t>& best_values) {
    std::vector<std::vector<std::uint8_t>> shares = explorer<Item>{n, words, {}, {}}.shares();
    std::vector<std::size_t> mine;  // this part's shares
    for (std::size_t i = part - 1; i < shares.size(); i += parts) mine.push_back(i);
    // Threads take shares in turn; each counts its steps on its own.
    struct worker {
        exact_maximum best;
        std::vector<std::uint32_t> values;
    };
    std::vector<worker> results(std::max(threads, 1u));
    std::atomic<std::size_t> next{0};
    struct job {
        int n;
        bool words;
        const std::vector<std::vector<std::uint8_t>>* shares;
        const std::vector<std::size_t>* mine;
        std::atomic<std::size_t>* next;
        worker* result;
    };
    std::vector<job> jobs;
    for (auto& r : results) jobs.push_back({n, words, &shares, &mine, &next, &r});
    auto work = [](void* arg) -> void* {
        auto* j = static_cast<job*>(arg);
        explorer<Item> e{j->n, j->words, {}, {}};
        for (std::size_t k; (k = j->next->fetch_add(1)) < j->mine->size();)
            e.explore((*j->shares)[(*j->mine)[k]], j->result->best, j->result->values);
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
    for (const worker& r : results) {
        best.runs += r.best.runs;
        if (r.best.cost > best.cost) {
            best.cost = r.best.cost;
            best_values = r.values;
        }
    }
    return best;
}

}  // namespace

exact_maximum exhaustive_maximum(const std::string& program, int n, unsigned part, unsigned parts, unsigned threads) {
    exact_maximum m;
    std::vector<std::uint32_t> values;
    if (program == "isort_words") {
        // 2n + 4 steps and one per pair out of order: at most all of them,
        // as distinct words in descending order have it.
        for (int i = n - 1; i >= 0; --i) values.push_back(static_cast<std::uint32_t>(i));
        auto k = static_cast<std::uint64_t>(n);
        m.cost = 2 * k + 4 + k * (k - 1) / 2;
    } else if (program == "qsort_words") {
        m = search<std::uint32_t>(n, true, part, parts, threads, values);
    } else {
        m = search<std::uint8_t>(n, false, part, parts, threads, values);
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
