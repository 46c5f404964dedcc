// SPDX-License-Identifier: MIT
#include "adversary.h"

#include <cstring>
#include <numeric>

#include "Hooks.h"
#include "gnuqsort.h"
#include "sortcost/costs.h"

using namespace sortcost;

namespace {

// Every item starts as gas: unknown, and larger than every value fixed so
// far. When two gas items meet, one is frozen to the next value: the first if
// it is the current candidate, else the second. Then a gas operand becomes
// the candidate. There is no candidate before the first comparison.
struct adversary {
    std::vector<std::uint32_t> val;
    std::uint32_t gas;
    std::uint32_t next = 0;
    std::int64_t candidate = -1;

    explicit adversary(std::size_t n) : val(n, static_cast<std::uint32_t>(n)), gas(static_cast<std::uint32_t>(n)) {}

    // One step a call, as the programs' comparators take.
    template <class Item>
    static int compare(const void* a, const void* b, void* arg) {
        cost_inc();
        auto& s = *static_cast<adversary*>(arg);
        Item x;
        Item y;
        std::memcpy(&x, a, sizeof x);
        std::memcpy(&y, b, sizeof y);
        if (s.val[x] == s.gas && s.val[y] == s.gas) {
            if (x == s.candidate)
                s.val[x] = s.next++;
            else
                s.val[y] = s.next++;
        }
        if (s.val[x] == s.gas)
            s.candidate = x;
        else if (s.val[y] == s.gas)
            s.candidate = y;
        return s.val[x] < s.val[y] ? -1 : s.val[x] > s.val[y];
    }
};

template <class Item>
std::vector<std::uint32_t> run(std::size_t n, std::uint64_t& cost) {
    adversary s(n);
    std::vector<Item> items(n);
    std::iota(items.begin(), items.end(), Item{0});
    std::uint64_t before = cost_read();
    gnu_quicksort(items.data(), n, sizeof(Item), &adversary::compare<Item>, &s);
    cost = quicksort_steps_before_sort + (cost_read() - before);
    // Items never compared as gas take the next values in item order.
    for (auto& v : s.val)
        if (v == s.gas) v = s.next++;
    return s.val;
}

}  // namespace

std::vector<std::uint32_t> adversarial_values(std::size_t n, std::size_t item_size, std::uint64_t& cost) {
    if (item_size == 1) return run<std::uint8_t>(n, cost);
    if (item_size == 2) return run<std::uint16_t>(n, cost);
    return run<std::uint32_t>(n, cost);
}
