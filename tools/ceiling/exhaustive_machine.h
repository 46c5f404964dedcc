// SPDX-License-Identifier: MIT
// The search behind `sortcost-ceiling exhaustive`: the sort stepped by hand
// over every course of answers, with the bound that cuts courses short.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

#include "exhaustive.h"
#include "partial_input.h"
#include "program_model.h"

// The quicksort asks only whether compare(x, y) < 0, so a run is fixed by the
// answers to its questions, and the maximum over all inputs is the maximum
// over every course of answers some input can give. What decides the answers
// is the program model's: top bits and the order of the low parts, known as
// far as the answers so far tell (sortcost::partial_input).
//
// Each question whose answer is not yet implied by the earlier answers is a
// choice between the two, and the search takes both, depth first. So each
// run to the sort's end is one course of answers, and every input's course
// is among them.

namespace exhaustive_search {

using sortcost::quicksort_shape;
static_assert(exhaustive_max_elements <= 32, "what a state has room for");

// The sort, stepped by hand over elements numbered 0 .. n-1, so that a
// course of answers can branch where a question is open without running the
// sort again from its start: each branch takes a copy of the state. It takes
// the steps of the program's sort exactly (tests compare it, run by run, with
// the sort itself), and the driver's.
template <int Size, std::size_t Capacity = 16>  // bytes per element; elements a state has room for
struct machine {
    using input_state = partial_input<Capacity>;
    using bits = typename input_state::bits;
    static constexpr int max_elements = static_cast<int>(Capacity);
    [[gnu::always_inline]] static constexpr int count_bits(bits x) { return input_state::count(x); }
    // Where run() goes on from: the quicksort phase's loop head, questions and
    // pass, then the insertion pass's.
    enum : std::uint8_t {
        main_head, median_1, median_2, median_3, pass_head, left_scan, right_scan,
        minimum, outer, backward, done
    };
    static constexpr int cutoff = static_cast<int>(quicksort_shape::cutoff_elements);
    static constexpr int stack_size = 8;  // log2(16) + 1 with the sentinel, and to spare
    static_assert(stack_size <= quicksort_shape::stack_entries);
    static constexpr std::uint32_t compare = sortcost::compare_steps;  // a comparator call's step
    static constexpr std::int64_t test_and_call = 1 + std::int64_t{compare};  // a scan's test with its call
    static constexpr std::uint32_t swap_cost = quicksort_shape::swap_steps(Size);
    static constexpr std::uint32_t rotation(int passed) {
        return static_cast<std::uint32_t>(quicksort_shape::rotation_steps(Size, static_cast<std::uint64_t>(passed)));
    }

    input_state in;
    std::uint32_t cost = 0;
    std::int8_t a[Capacity];  // the element at each position
    std::int8_t lo = 0, hi = 0, mid = 0, left = 0, right = 0, cur = 0, pos = 0, best = 0, top = 0;
    std::int8_t stack_lo[stack_size], stack_hi[stack_size];
    std::uint8_t pc = 0;
    enum class stop_at : std::uint8_t {
        end,        // the sort's end
        insertion,  // where the insertion pass would begin
        partition,  // where the first partition has ended, before the parts are chosen
    } stop = stop_at::end;
    std::uint32_t range_cost = 0;  // the cost where the current range began
    // The open question where run() stopped: the top bit of `ask_top`, or
    // (with ask_top < 0) the order of the low parts of ask_x and ask_y.
    std::int8_t ask_top = -1, ask_x = 0, ask_y = 0;

    // The driver's steps before the sort, then the sort's entry step.
    static constexpr std::uint32_t start_cost =
        sortcost::quicksort_steps_before_sort + quicksort_shape::entry_steps;

    void start(int n, const sortcost::answer_model& m) {
        in.start(n, m);
        cost = start_cost;
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
        const int r = in.before(ex, ey);
        if (r >= 0) {
            cost += compare;
            return r;
        }
        ask_top = static_cast<std::int8_t>(in.top[ex] < 0 ? ex : in.top[ey] < 0 ? ey : -1);
        ask_x = static_cast<std::int8_t>(ex);
        ask_y = static_cast<std::int8_t>(ey);
        return -1;
    }
    // Answers the open question: 0 first (top bit 0, or the first low part
    // below the second), then 1.
    void answer(int choice) {
        if (ask_top >= 0)
            in.set_top(ask_top, choice);
        else if (choice == 0)
            in.add_lt(ask_x, ask_y);
        else
            in.add_le(ask_y, ask_x);
    }

    void swap(int x, int y) {
        std::swap(a[x], a[y]);
        cost += swap_cost;
    }
    void begin_insertion() {
        best = 0;
        cur = 1;
        cost += 1;  // the minimum search's first test
        pc = minimum;
    }

    // Runs until the sort ends (true) or asks an open question (false); the
    // question is asked again when it runs on, answered.
    bool run() { return pc >= minimum ? insertion_phase() : quicksort_phase() && insertion_phase(); }

    // The quicksort phase: true once it has ended (or where `stop` says),
    // false at an open question.
    bool quicksort_phase() {
        int r;
        for (;;) switch (pc) {
            case main_head:
                range_head();
                if (pc != median_1) break;  // past the phase
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
                end_pass();
                break;
            default:
                return true;
        }
    }

    // The loop head: the range's median of three next, or, with the stack
    // empty, the insertion pass (or the stop there).
    void range_head() {
        range_cost = cost;
        cost += 1;
        if (top == 0) {
            if (stop == stop_at::insertion)
                pc = done;
            else
                begin_insertion();
            return;
        }
        mid = static_cast<std::int8_t>(lo + (hi - lo) / 2);
        pc = median_1;
    }
    // Where both scans have stopped: the swap, then another pass, or the
    // partition's end and the next range (or the stop there).
    void end_pass() {
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
                return;
            }
        } else if (left == right) {
            ++left;
            --right;
        }
        if (stop == stop_at::partition) {
            pc = done;
            return;
        }
        next_part();
        pc = main_head;
    }

    // The minimum search and the insertion pass: true at the sort's end,
    // false at an open question.
    bool insertion_phase() {
        const int n = in.n;
        const int scan_end = std::min(n - 1, cutoff);
        int r;
        for (;;) switch (pc) {
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
                    cost += rotation(cur - pos);
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
    static constexpr std::int64_t inserted(int d) { return insertion_steps[static_cast<std::size_t>(d)]; }
    static constexpr auto insertion_steps = [] {
        std::array<std::int64_t, Capacity + 1> t{};
        for (int d = 0; d <= max_elements; ++d)
            t[static_cast<std::size_t>(d)] = 1 + test_and_call * (d + 1) + (d > 0 ? rotation(d) : 0);
        return t;
    }();

    // The parts of the bound, as most() adds them up.
    struct bound_parts {
        std::int64_t so_far = 0;  // the steps taken
        int ranges = 0;           // pending ranges: the current one, then the stack's from its top
        std::int64_t range[stack_size + 1] = {};
        std::int64_t fixed = 0;                   // loop heads, the minimum search's tests and its swap
        std::int64_t position[Capacity] = {};  // each later position's insertion, where no range holds it
    };

    // An upper bound on the cost of every course of answers on from here,
    // for a state stopped at a question (docs/cost-growth.md gives the
    // argument). `t` holds the most each pending range can add. With
    // `parts`, says what each part contributes.
    std::int64_t most(const struct bound_tables& t, bound_parts* parts = nullptr) const {
        return pc <= right_scan ? most_in<right_scan>(t, parts)
               : pc == minimum  ? most_in<minimum>(t, parts)
                                : most_in<backward>(t, parts);
    }
    // The same, for a state in the quicksort phase (`Phase` right_scan), the
    // minimum search or the insertion pass's scans: compiled for each, the
    // terms a phase cannot have fall away from the code.
    template <std::uint8_t Phase>
    std::int64_t most_in(const struct bound_tables& t, bound_parts* parts) const;
    struct bound_sum;
    // Parts of most_in, inlined into it: on their own they cost the
    // enumeration a sixth more instructions (its terms live in memory).
    template <std::uint8_t Phase>
    [[gnu::always_inline]] inline void phase_terms(const struct bound_tables& t, bound_sum& b) const;
    template <std::uint8_t Phase>
    [[gnu::always_inline]] inline void insertion_terms(bound_sum& b) const;

    // The most the current range can still add, over every way its
    // partition may go on: the partition's remaining steps, then what its
    // parts add at most. Every element the scans have yet to reach is taken
    // to answer either way, the pivot included, so this bounds the courses
    // there are and more.
    std::int64_t partition_most(const struct bound_tables& t) const;

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

// What the bound takes from a search of smaller inputs. work[m] is the most
// a pending range of m elements (cutoff + 1 < m) can add from its first loop
// head up to the head that follows it and its parts: its quicksort steps,
// and, for a consistent order (`local`), its elements' insertions too,
// since every element then passes only elements of its own final part.
// first[m] is the same for the range that holds position 0, its minimum
// search's swap included (local only).
struct bound_tables {
    bool local = false;
    std::vector<std::int64_t> work, first;  // for every size from 0; small parts' own too
    std::int64_t of(bool holds_start, int m) const { return (holds_start ? first : work)[static_cast<std::size_t>(m)]; }
    // Whether the tables hold a range of m elements that is partitioned.
    bool has(int m) const { return m > quicksort_shape::cutoff_elements + 1 && static_cast<std::size_t>(m) < work.size(); }
};

template <int Size, std::size_t Capacity>
std::int64_t machine<Size, Capacity>::partition_most(const bound_tables& t) const {
    const bool holds_start = t.local && lo == 0;
    // After the last pass, with left at l and right at r.
    auto ended = [&](int l, int r) {
        std::int64_t v = t.of(holds_start, r - lo + 1) + t.work[static_cast<std::size_t>(hi - l + 1)];
        // The element between the parts, equal to the pivot, stays where it is.
        if (t.local && l - r == 2 && (lo > 0 || r + 1 >= 2)) v += inserted(0);
        return v;
    };
    // Indexed by l - lo (1 to size + 1) and r - lo + 1 (0 to size).
    constexpr std::size_t room = Capacity + 2;
    std::int64_t at_left[room][room], at_right[room][room];  // the most from a left or right scan's comparison on
    const int size = hi - lo + 1;
    for (int i = 0; i <= size + 1; ++i)
        for (int k = 0; k <= size + 1; ++k) at_left[i][k] = at_right[i][k] = -1;
    // The scans at (l, r) compare the element at l (left) or r (right) next.
    // In a consistent order a left scan passes only elements the right scan
    // has not passed, and the other way round; in the word order two words
    // 2^31 apart each order before the other, so a scan may pass what the
    // other passed, to the range's end.
    struct dp {
        const machine& m;
        const decltype(ended)& end;
        std::int64_t (&left_memo)[room][room];
        std::int64_t (&right_memo)[room][room];
        bool consistent;
        std::int64_t pass(int l, int r) { return 2 + left(l, r); }
        std::int64_t left(int l, int r) {
            std::int64_t& v = left_memo[l - m.lo][r - m.lo + 1];
            if (v < 0) v = compare + 1 + std::max(l <= (consistent ? r : m.hi) ? left(l + 1, r) : 0, right(l, r));
            return v;
        }
        std::int64_t right(int l, int r) {
            std::int64_t& v = right_memo[l - m.lo][r - m.lo + 1];
            if (v >= 0) return v;
            std::int64_t at_stop;
            if (l < r)
                at_stop = swap_cost + (l + 1 <= r - 1 ? pass(l + 1, r - 1) : end(l + 1, r - 1));
            else
                at_stop = l == r ? end(l + 1, r - 1) : end(l, r);
            v = compare + std::max(r >= (consistent ? l : m.lo) ? 1 + right(l, r - 1) : 0, at_stop);
            return v;
        }
    } go{*this, ended, at_left, at_right, t.local};
    switch (pc) {
        case median_1: return 3 * (compare + swap_cost) + go.pass(lo + 1, hi - 1);
        case median_2: return 2 * (compare + swap_cost) + go.pass(lo + 1, hi - 1);
        case median_3: return compare + swap_cost + go.pass(lo + 1, hi - 1);
        case pass_head: return go.pass(left, right);
        case left_scan: return go.left(left, right);
        default: return go.right(left, right);
    }
}

// The bound's sum as most_in() builds it: the terms so far, and what the
// pending ranges and the phase leave to the insertion pass's terms.
template <int Size, std::size_t Capacity>
struct machine<Size, Capacity>::bound_sum {
    std::int64_t total = 0;
    bound_parts* parts = nullptr;
    bits may[Capacity];  // the elements each may still order before (set as most_in needs)
    bits moving = 0;         // positions of pending ranges whose insertions no range term holds
    bits covered = 0;        // positions whose insertions a range term holds
    bool swap_open = false;  // the minimum's swap is yet to come, and no range term holds it
    int first_position = 2;  // the first position the outer loop has yet to insert
    int old_top = -1;        // positions 0 .. old_top keep their order: the insertion pass is past them

    void add_range(std::int64_t v) {
        total += v;
        if (parts) parts->range[parts->ranges++] = v;
    }
    void add_fixed(std::int64_t v) {
        total += v;
        if (parts) parts->fixed += v;
    }
    void add_position(int j, std::int64_t v) {
        total += v;
        if (parts) parts->position[j] = v;
    }
    // A pending range's term; true if it holds position 0.
    bool pending(const bound_tables& t, int l, int h, std::int64_t v) {
        add_range(v);
        (t.local ? covered : moving) |= span(l, h);
        return t.local && l == 0;
    }
};

template <int Size, std::size_t Capacity>
template <std::uint8_t Phase>
std::int64_t machine<Size, Capacity>::most_in(const bound_tables& t, bound_parts* parts) const {
    const int n = in.n;
    bound_sum b;  // `may` is set below, as far as it is read
    b.total = cost;
    b.parts = parts;
    if (parts) *parts = bound_parts{cost};
    // In the insertion pass only the elements from cur on are asked of.
    if constexpr (Phase > minimum)
        for (int q = cur; q < n; ++q) b.may[a[q]] = in.may_precede(a[q]);
    else
        for (int e = 0; e < n; ++e) b.may[e] = in.may_precede(e);
    phase_terms<Phase>(t, b);
    if (b.swap_open) b.add_fixed(swap_cost);
    b.add_fixed(1);  // the outer loop's last test
    insertion_terms<Phase>(b);
    return b.total;
}

// The terms of where the sort stands: the pending ranges and the minimum
// search in the quicksort phase, the rest of the minimum search, or the
// element being inserted.
template <int Size, std::size_t Capacity>
template <std::uint8_t Phase>
void machine<Size, Capacity>::phase_terms(const bound_tables& t, bound_sum& b) const {
    const int scan_end = std::min(in.n - 1, cutoff);
    if constexpr (Phase == right_scan) {
        bool start_held = false;
        if (pc != main_head || top > 0) {
            // The table bounds a range from its start (where it has the
            // range's size); the partition's own bound follows what it has done.
            const int m = hi - lo + 1;
            const std::int64_t whole =
                t.has(m) ? t.of(t.local && lo == 0, m) - (pc == main_head ? 0 : cost - range_cost) : INT64_MAX;
            start_held = b.pending(t, lo, hi, pc == main_head ? whole : std::min(whole, partition_most(t)));
            for (int k = top - 1; k >= 1; --k)
                start_held |= b.pending(t, stack_lo[k], stack_hi[k],
                                        t.of(t.local && stack_lo[k] == 0, stack_hi[k] - stack_lo[k] + 1));
        }
        b.add_fixed(1);                             // the head that pops the sentinel
        b.add_fixed(1 + test_and_call * scan_end);  // the minimum search's tests
        b.swap_open = !start_held;
    } else if constexpr (Phase == minimum) {
        b.add_fixed(test_and_call * (scan_end - cur + 1));
        b.swap_open = true;
    } else {
        // The element at cur passes the elements below pos it may order
        // before, down to the first it may not.
        const bits m = b.may[a[cur]];
        int passes = 0;
        for (int q = pos; q >= 0 && (m >> a[q] & 1); --q) ++passes;
        const int d = cur - 1 - pos + passes;
        b.add_position(cur, test_and_call * (passes + 1) + (d > 0 ? rotation(d) : 0));
        b.first_position = cur + 1;
        b.old_top = cur - 1;
    }
}

// Every later element passes at most the elements below it that it may
// order before: the insertion pass keeps the set of elements below each
// position it has not reached. Of the elements the pass has already put in
// order (at and below old_top), it keeps their order and passes them from
// the top down, so at most the run of them from the top that it may order
// before. The minimum's swap may still exchange the elements at 0 and at
// any position it may pick. Within a stretch the quicksort phase may still
// reorder, any of the stretch's elements may come to stand at a position,
// and the set below the stretch is known.
template <int Size, std::size_t Capacity>
template <std::uint8_t Phase>
void machine<Size, Capacity>::insertion_terms(bound_sum& b) const {
    const int n = in.n;
    const int scan_end = std::min(n - 1, cutoff);
    bits below = 0;  // the elements at positions under j
    bits old = 0;    // those at and below old_top
    for (int q = 0; q <= b.old_top; ++q) old |= bits{1} << a[q];
    int under[Capacity], within[Capacity];  // per element of the stretch
    const int swap_from = Phase == minimum ? cur - 1 : 0;  // the minimum's candidates: best, then cur on
    std::int64_t swapped[cutoff + 1] = {};  // the insertions at 2 .. scan_end if the minimum is found at b
    bits stretch = 0;
    int stretch_start = 0;
    for (int j = 0; j < n; ++j) {
        const bool moves = b.moving >> j & 1;
        if (moves && (j == 0 || !(b.moving >> (j - 1) & 1))) {
            stretch_start = j;
            stretch = 0;
            for (int q = j; q < n && (b.moving >> q & 1); ++q) stretch |= bits{1} << a[q];
            for (bits s = stretch; s; s &= s - 1) {
                const int e = __builtin_ctz(s);
                under[e] = count_bits(b.may[e] & below);
                within[e] = count_bits(b.may[e] & stretch);
            }
        }
        const bool swap_shaken = b.swap_open && j <= scan_end;
        const bool counted = j >= b.first_position && !(b.covered >> j & 1);
        if (counted && !moves && !swap_shaken) {
            const bits m = b.may[a[j]];
            int run = 0;
            for (int q = b.old_top; q >= 0 && (m >> a[q] & 1); --q) ++run;
            b.add_position(j, inserted(std::min(run + count_bits(m & below & ~old), j)));
        } else if (counted && swap_shaken && (moves || (b.moving & span(0, scan_end)))) {
            b.add_position(j, inserted(j));
        } else if (counted && moves) {
            int d = 0;
            for (bits s = stretch; s; s &= s - 1) {
                const int e = __builtin_ctz(s);
                d = std::max(d, under[e] + std::min(j - stretch_start, within[e]));
            }
            b.add_position(j, inserted(std::min(d, j)));
        } else if (counted) {
            // For each position the minimum may still be found at, as one
            // course of the swap for all these positions.
            for (int k = swap_from; k <= scan_end; ++k) {
                const int at = Phase == minimum && k == swap_from ? best : k;
                const int e = at == j ? a[0] : a[j];
                const bits set = at == 0 || at < j ? below : (below & ~(bits{1} << a[0])) | (bits{1} << a[at]);
                swapped[k] += inserted(std::min(count_bits(b.may[e] & set), j));
            }
        }
        below |= bits{1} << a[j];
    }
    if (b.swap_open && !(b.moving & span(0, scan_end)) && b.first_position <= scan_end)
        b.add_position(b.first_position, *std::max_element(swapped + swap_from, swapped + scan_end + 1));
}

// The first `split_depth` choices of a course of answers name the share of
// the search it falls in: one share per distinct prefix of that many
// choices (or per whole course, for a course with fewer), each explored on
// its own, so that threads and machines can take shares apart.
constexpr int split_depth = 12;

// Every course of answers on from `m`, depth first, taking `m` on with it:
// `leaf(state)` at each sort's end, and `cut(state)` asked at each question
// (true: go no further). The first answer goes on a copy, the second in place.
template <class State, class Leaf, class Cut>
void each_course(State& m, const Leaf& leaf, const Cut& cut) {
    for (;;) {
        if (m.run()) return leaf(m);
        if (cut(m)) return;
        State first = m;
        first.answer(0);
        each_course(first, leaf, cut);
        m.answer(1);
    }
}

template <int Size, std::size_t Capacity = 16>
struct explorer {
    using state = machine<Size, Capacity>;
    // Courses whose bound falls below this are not followed: some input
    // costs `floor`, so none of them can be the maximum.
    std::int64_t floor = 0;
    const bound_tables* tables = nullptr;
    sortcost::answer_model model{};
    exact_maximum best;
    std::vector<std::uint32_t> values;

    void leaf(const state& m) {
        ++best.runs;
        if (m.cost > best.cost) {
            best.cost = m.cost;
            values = m.in.values(model);
        }
    }
    // Within a partition the bound cuts a course of a consistent order
    // often, of the word order rarely (the insertions it leaves open are
    // what it cannot yet tell): there it is asked only as each range begins
    // (measured: about a third less time for words, a quarter of it for
    // bytes).
    bool cut(const state& m) const {
        if (floor <= 0) return false;
        if (!tables->local && m.pc > state::median_1 && m.pc <= state::right_scan) return false;
        return m.most(*tables) < floor;
    }
    void explore(const state& m) {
        state course = m;
        each_course(course, [&](const state& s) { leaf(s); }, [&](const state& s) { return cut(s); });
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

// The tables for inputs of n elements, from every way the first partition
// of a range of m elements can go (m from cutoff + 2 up): the partition's
// steps, and what its parts add at most, each as a range of its size
// alone. A part of at most cutoff + 1 elements is left to the insertion
// pass: for a consistent order, at most every pair of it out of order; for
// the part at position 0, the most the minimum's swap and the insertions
// after it can take, over every order of its elements.
template <int Size, std::size_t Capacity = 16>
bound_tables make_bound_tables(int n, const sortcost::answer_model& model) {
    using state = machine<Size, Capacity>;
    constexpr int small = state::cutoff + 1;
    bound_tables t;
    t.local = !model.top_bit;
    // The whole input's maximum is what the search is for; without insertions
    // in the tables, the first partition's parts are what the tables are for.
    const int largest = t.local ? n - 1 : n;
    t.work.assign(static_cast<std::size_t>(largest) + 1, 0);
    t.first.assign(static_cast<std::size_t>(largest) + 1, 0);
    std::int64_t* part = t.work.data();
    std::int64_t* first_part = t.first.data();
    if (t.local) {
        for (int k = 1; k <= small && k <= largest; ++k) part[k] = part[k - 1] + state::inserted(k - 1);
        // Every order of k elements, as k digits below k.
        for (int k = 1; k <= small && k <= largest; ++k) {
            int digits[state::cutoff + 1] = {};
            int total = 1;
            for (int i = 0; i < k; ++i) total *= k;
            for (int code = 0; code < total; ++code) {
                for (int i = 0, c = code; i < k; ++i, c /= k) digits[i] = c % k;
                int best = 0;
                for (int i = 1; i < k; ++i)
                    if (digits[i] < digits[best]) best = i;
                std::int64_t steps = best != 0 ? state::swap_cost : 0;
                std::swap(digits[0], digits[best]);
                for (int j = 2; j < k; ++j) {
                    int d = 0;
                    while (digits[j - 1 - d] > digits[j]) ++d;  // digits[0] is the least: it stops
                    steps += state::inserted(d);
                    std::rotate(digits + j - d, digits + j, digits + j + 1);
                }
                first_part[k] = std::max(first_part[k], steps);
            }
        }
    }
    const std::int64_t single = state::inserted(0);  // an element between the parts, equal to the pivot
    for (int m = small + 1; m <= largest; ++m) {
        state root;
        root.start(m, model);
        root.stop = state::stop_at::partition;
        std::int64_t work = 0, first = 0;
        each_course(
            root,
            [&](const state& s) {
                const int l = s.right + 1, r = m - s.left;  // the parts' sizes
                const bool middle = s.left - s.right == 2;
                const std::int64_t steps = s.cost - state::start_cost;
                work = std::max(work, steps + t.of(false, l) + t.of(false, r) + (t.local && middle ? single : 0));
                first = std::max(first, steps + t.of(t.local, l) + t.of(false, r) +
                                            (t.local && middle && s.right + 1 >= 2 ? single : 0));
            },
            [](const state&) { return false; });
        t.work[static_cast<std::size_t>(m)] = work;
        t.first[static_cast<std::size_t>(m)] = first;
    }
    return t;
}

}  // namespace exhaustive_search
