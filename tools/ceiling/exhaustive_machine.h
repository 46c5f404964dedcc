// SPDX-License-Identifier: MIT
// The search behind `sortcost-ceiling exhaustive`: the sort stepped by hand
// over every course of answers, with the bound that cuts courses short.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "exhaustive.h"

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
// Each question whose answer is not yet implied by the earlier answers is a
// choice between the two, and the search takes both, depth first. So each
// run to the sort's end is one course of answers, and every input's course
// is among them.

namespace exhaustive_search {

using bits = std::uint32_t;  // a set of elements
constexpr int max_elements = 16;  // what a state has room for
static_assert(exhaustive_max_elements <= max_elements);

// What the answers so far say of the input. le and lt are closed under
// transitivity, and le is reflexive.
struct partial_input {
    int n = 0;
    std::int8_t top[max_elements];  // -1 while no answer has needed it
    bits le[max_elements];  // bit v of le[u]: low(u) <= low(v)
    bits lt[max_elements];  // bit v of lt[u]: low(u) < low(v)

    void start(int elements, bool words) {
        n = elements;
        for (int u = 0; u < n; ++u) {
            top[u] = static_cast<std::int8_t>(words ? -1 : 0);
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

// The sort, stepped by hand over elements numbered 0 .. n-1, so that a
// course of answers can branch where a question is open without running the
// sort again from its start: each branch takes a copy of the state. It takes
// the steps of the program's sort exactly (tests compare it, run by run, with
// the sort itself), and the driver's.
template <int Size>  // bytes per element
struct machine {
    // Where run() goes on from: the quicksort phase's loop head, questions and
    // pass, then the insertion pass's.
    enum : std::uint8_t {
        main_head, median_1, median_2, median_3, pass_head, left_scan, right_scan,
        minimum, outer, backward, done
    };
    static constexpr int cutoff = 4;  // elements past a part's first left to the insertion pass
    static constexpr int stack_size = 8;  // log2(16) + 1 with the sentinel, and to spare

    partial_input in;
    std::uint32_t cost = 0;
    std::int8_t a[max_elements];  // the element at each position
    std::int8_t lo = 0, hi = 0, mid = 0, left = 0, right = 0, cur = 0, pos = 0, best = 0, top = 0;
    std::int8_t stack_lo[stack_size], stack_hi[stack_size];
    std::uint8_t pc = 0;
    bool quicksort_only = false;  // stop where the insertion pass would begin
    std::uint32_t range_cost = 0;  // the cost where the current range began
    // The open question where run() stopped: the top bit of `ask_top`, or
    // (with ask_top < 0) the order of the low parts of ask_x and ask_y.
    std::int8_t ask_top = -1, ask_x = 0, ask_y = 0;

    void start(int n, bool words) {
        in.start(n, words);
        // main's, read_file's and test_qsort's steps, then the sort's entry.
        cost = 4;
        for (int i = 0; i < n; ++i) a[i] = static_cast<std::int8_t>(i);
        if (n > cutoff) {
            top = 1;  // the sentinel, which ends the phase when popped
            stack_lo[0] = stack_hi[0] = 0;
            lo = 0;
            hi = static_cast<std::int8_t>(n - 1);
            pc = main_head;
        } else {
            begin_insertion();
        }
    }

    // Whether the element at position x orders before the one at y: 1 or 0,
    // taking the comparator's step; or -1 when the answers so far do not
    // tell, having set the open question.
    int before(int x, int y) {
        const int ex = a[x], ey = a[y];
        if (ex != ey) {
            for (int u : {ex, ey}) {
                if (in.top[u] < 0) {
                    ask_top = static_cast<std::int8_t>(u);
                    return -1;
                }
            }
            const bool can_lt = !in.known_le(ey, ex);
            const bool can_ge = !in.known_lt(ex, ey);
            if (can_lt && can_ge) {
                ask_top = -1;
                ask_x = static_cast<std::int8_t>(ex);
                ask_y = static_cast<std::int8_t>(ey);
                return -1;
            }
            cost += 1;
            return in.top[ex] == in.top[ey] ? can_lt : !can_lt;
        }
        cost += 1;
        return 0;  // an element against itself
    }
    // Answers the open question: 0 first (top bit 0, or the first low part
    // below the second), then 1.
    void answer(int choice) {
        if (ask_top >= 0)
            in.top[ask_top] = static_cast<std::int8_t>(choice);
        else if (choice == 0)
            in.add_lt(ask_x, ask_y);
        else
            in.add_le(ask_y, ask_x);
    }

    void swap(int x, int y) {
        std::swap(a[x], a[y]);
        cost += Size;
    }
    void begin_insertion() {
        best = 0;
        cur = 1;
        cost += 1;  // the minimum search's first test
        pc = minimum;
    }

    // Runs until the sort ends (true) or asks an open question (false); the
    // question is asked again when it runs on, answered.
    bool run() {
        const int n = in.n;
        const int scan_end = std::min(n - 1, cutoff);
        int r;
        for (;;) switch (pc) {
            case main_head:
                range_cost = cost;
                cost += 1;
                if (top == 0) {
                    if (quicksort_only) {
                        pc = done;
                        return true;
                    }
                    begin_insertion();
                    break;
                }
                mid = static_cast<std::int8_t>(lo + (hi - lo) / 2);
                pc = median_1;
                [[fallthrough]];
            case median_1:
                if ((r = before(mid, lo)) < 0) return false;
                if (r) swap(mid, lo);
                pc = median_2;
                [[fallthrough]];
            case median_2:
                if ((r = before(hi, mid)) < 0) return false;
                if (r) {
                    swap(mid, hi);
                    pc = median_3;
                } else {
                    start_partition();
                    break;
                }
                [[fallthrough]];
            case median_3:
                if ((r = before(mid, lo)) < 0) return false;
                if (r) swap(mid, lo);
                start_partition();
                break;
            case pass_head:
                cost += 2;  // the pass, and the left scan's first test
                pc = left_scan;
                [[fallthrough]];
            case left_scan:
                while (left <= hi) {
                    if ((r = before(left, mid)) < 0) return false;
                    if (!r) break;
                    ++left;
                    cost += 1;
                }
                cost += 1;  // the right scan's first test
                pc = right_scan;
                [[fallthrough]];
            case right_scan:
                while (right >= lo) {
                    if ((r = before(mid, right)) < 0) return false;
                    if (!r) break;
                    --right;
                    cost += 1;
                }
                if (left < right) {
                    swap(left, right);
                    if (mid == left)
                        mid = right;
                    else if (mid == right)
                        mid = left;
                    ++left;
                    --right;
                    if (left <= right) {
                        pc = pass_head;
                        break;
                    }
                } else if (left == right) {
                    ++left;
                    --right;
                }
                next_part();
                pc = main_head;
                break;
            case minimum:
                while (cur <= scan_end) {
                    if ((r = before(cur, best)) < 0) return false;
                    if (r) best = cur;
                    ++cur;
                    cost += 1;
                }
                if (best != 0) swap(best, 0);
                cur = 1;
                pc = outer;
                [[fallthrough]];
            case outer:
                cost += 1;
                if (++cur >= n) {
                    pc = done;
                    return true;
                }
                pos = static_cast<std::int8_t>(cur - 1);
                cost += 1;  // the backward scan's first test
                pc = backward;
                [[fallthrough]];
            case backward:
                while (pos >= 0) {
                    if ((r = before(cur, pos)) < 0) return false;
                    if (!r) break;
                    --pos;
                    cost += 1;
                }
                ++pos;
                if (pos != cur) {
                    // A rotation one byte position at a time: size + 1 tests
                    // of the byte loop, and per byte one shift test per
                    // element passed, plus one.
                    cost += static_cast<std::uint32_t>((Size + 1) + Size * (cur - pos + 1));
                    const std::int8_t e = a[cur];
                    for (int p = cur; p > pos; --p) a[p] = a[p - 1];
                    a[pos] = e;
                }
                pc = outer;
                break;
            default:
                return true;
        }
    }

    // What an element passing d others in the insertion pass takes at most:
    // the outer test, the backward scan's tests and calls, the rotation.
    static constexpr std::int64_t inserted(int d) {
        return 1 + 2 * (d + 1) + (d > 0 ? (Size + 1) + Size * (d + 1) : 0);
    }
    // The elements x that element e may yet order before, as far as the
    // answers so far tell. Answers only add facts, so this set only shrinks.
    bits may_precede(int e) const {
        bits out = 0;
        for (int x = 0; x < in.n; ++x) {
            bool may = true;
            if (x == e)
                may = false;
            else if (in.top[e] >= 0 && in.top[x] >= 0)
                may = in.top[e] == in.top[x] ? !in.known_le(x, e) : !in.known_lt(e, x);
            out |= bits{may} << x;
        }
        return out;
    }

    // An upper bound on the cost of every course of answers on from here,
    // for a state stopped at a question. `range_most[m]` is the most steps a
    // range of m elements (5 <= m < n) can take in the quicksort phase, its
    // parts' included, from its first loop head to the one that pops the
    // sentinel, as a run of m elements alone takes them: a range's elements
    // compare only among themselves, and their answers are those of some
    // input of m elements. Returns INT64_MAX in the first partition.
    std::int64_t most(const std::uint32_t* range_most) const {
        const int n = in.n;
        const int scan_end = std::min(n - 1, cutoff);
        bits may[max_elements];
        for (int e = 0; e < n; ++e) may[e] = may_precede(e);
        std::int64_t total = cost;
        bits moving = 0;  // positions the quicksort phase may still change
        int unknown_through = -1;  // positions the minimum's swap may still change
        int first = 2;  // the first position the outer loop has yet to insert
        if (pc <= right_scan) {
            if (hi - lo + 1 == n) return INT64_MAX;
            // The current range less what it has taken, then the waiting
            // ranges; each range's last head is the next range's first.
            total += range_most[hi - lo + 1] - 1 - (cost - range_cost);
            moving |= span(lo, hi);
            for (int k = 1; k < top; ++k) {
                total += range_most[stack_hi[k] - stack_lo[k] + 1] - 1;
                moving |= span(stack_lo[k], stack_hi[k]);
            }
            total += 1 + 2 * scan_end + 1 + Size;  // the sentinel's head, the minimum search and its swap
            unknown_through = scan_end;
        } else if (pc == minimum) {
            total += 2 * (scan_end - cur + 1) + Size;
            unknown_through = scan_end;
        } else {
            // The element at cur passes the elements below pos it may order
            // before, down to the first it may not.
            const bits m = may[a[cur]];
            int passes = 0;
            for (int q = pos; q >= 0 && (m >> a[q] & 1); --q) ++passes;
            const int d = cur - 1 - pos + passes;
            total += 2 * passes + 2 + (d > 0 ? (Size + 1) + Size * (d + 1) : 0);
            first = cur + 1;
        }
        // Every later element passes at most the elements below it that it
        // may order before: the insertion pass keeps the set of elements
        // below each position it has not reached. Within a stretch the
        // quicksort phase may still reorder, any of the stretch's elements
        // may come to stand at a position, and the set below the stretch is
        // known.
        total += 1;  // the outer loop's last test
        bits below = 0;  // the elements at positions under j
        bits stretch = 0, under_stretch = 0;
        int stretch_start = 0;
        for (int j = 0; j < n; ++j) {
            if ((moving >> j & 1) && (j == 0 || !(moving >> (j - 1) & 1))) {
                stretch_start = j;
                under_stretch = below;
                stretch = 0;
                for (int q = j; q < n && (moving >> q & 1); ++q) stretch |= bits{1} << a[q];
            }
            if (j >= first) {
                int d = j;
                if (j > unknown_through) {
                    if (moving >> j & 1) {
                        d = 0;
                        for (bits s = stretch; s; s &= s - 1) {
                            const int e = __builtin_ctz(s);
                            d = std::max(d, std::popcount(may[e] & under_stretch) +
                                                std::min(j - stretch_start, std::popcount(may[e] & stretch)));
                        }
                    } else {
                        d = std::popcount(may[a[j]] & below);
                    }
                }
                total += inserted(std::min(d, j));
            }
            below |= bits{1} << a[j];
        }
        return total;
    }
    static bits span(int l, int h) { return ((bits{2} << h) - 1) & ~((bits{1} << l) - 1); }

    void start_partition() {
        left = static_cast<std::int8_t>(lo + 1);
        right = static_cast<std::int8_t>(hi - 1);
        pc = pass_head;
    }
    // The left part is [lo, right], the right part [left, hi]; the larger
    // waits on the stack, parts of at most five elements are left alone.
    void next_part() {
        if (right - lo <= cutoff) {
            if (hi - left <= cutoff) {
                --top;
                lo = stack_lo[top];
                hi = stack_hi[top];
            } else {
                lo = left;
            }
        } else if (hi - left <= cutoff) {
            hi = right;
        } else if (right - lo > hi - left) {
            push(lo, right);
            lo = left;
        } else {
            push(left, hi);
            hi = right;
        }
    }
    void push(std::int8_t l, std::int8_t h) {
        stack_lo[top] = l;
        stack_hi[top] = h;
        ++top;
    }
};

// The first `split_depth` choices of a course of answers name the share of
// the search it falls in: one share per distinct prefix of that many
// choices (or per whole course, for a course with fewer), each explored on
// its own, so that threads and machines can take shares apart.
constexpr int split_depth = 12;

template <int Size>
struct explorer {
    using state = machine<Size>;
    // Courses whose bound falls below this are not followed: some input
    // costs `floor`, so none of them can be the maximum.
    std::int64_t floor = 0;
    const std::uint32_t* range_most = nullptr;
    exact_maximum best;
    std::vector<std::uint32_t> values;

    void leaf(const state& m) {
        ++best.runs;
        if (m.cost > best.cost) {
            best.cost = m.cost;
            values = m.in.values();
        }
    }
    // Every course of answers on from `m`: the first answer on a copy, the
    // second in place.
    void explore(state m) {
        for (;;) {
            if (m.run()) return leaf(m);
            if (floor > 0 && m.most(range_most) < floor) return;
            state first = m;
            first.answer(0);
            explore(first);
            m.answer(1);
        }
    }
    // The states at the start of every share, in a fixed order.
    static void shares(state m, int depth, std::vector<state>& out) {
        for (; depth < split_depth; ++depth) {
            if (m.run()) break;
            state first = m;
            first.answer(0);
            shares(first, depth + 1, out);
            m.answer(1);
        }
        out.push_back(m);
    }
};

// range_most[m] for 5 <= m < n: the most steps the quicksort phase takes on
// any m elements, by the same search, stopped where the insertion pass
// begins (without the driver's and the entry's steps).
template <int Size>
std::vector<std::uint32_t> quicksort_phase_maxima(int n, bool words) {
    std::vector<std::uint32_t> most(static_cast<std::size_t>(n), 0);
    for (int m = 5; m < n; ++m) {
        machine<Size> root;
        root.start(m, words);
        root.quicksort_only = true;
        explorer<Size> e;
        e.explore(root);
        most[static_cast<std::size_t>(m)] = static_cast<std::uint32_t>(e.best.cost - 4);
    }
    return most;
}

}  // namespace exhaustive_search
