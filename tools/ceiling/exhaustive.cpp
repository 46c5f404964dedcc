// SPDX-License-Identifier: MIT
#include "exhaustive.h"

#include <algorithm>

#include "exhaustive_machine.h"
#include "pool.h"

namespace {

using namespace exhaustive_search;

template <int Size, std::size_t Capacity>
exact_maximum search(const sortcost::program_info& p, int n, unsigned part, unsigned parts, unsigned threads,
                     std::uint64_t floor, std::vector<std::uint32_t>& best_values) {
    using state = machine<Size, Capacity>;
    const sortcost::answer_model model = sortcost::answers_of(p);
    const bound_tables tables = floor > 0 ? make_bound_tables<Size, Capacity>(n, model) : bound_tables{};
    state root;
    root.start(n, model);
    std::vector<state> shares;
    explorer<Size, Capacity>::shares(root, 0, shares);
    std::vector<std::size_t> mine;  // this part's shares
    for (std::size_t i = part - 1; i < shares.size(); i += parts) mine.push_back(i);
    // Workers take shares in turn; each keeps its own maximum.
    explorer<Size, Capacity> empty;
    empty.floor = static_cast<std::int64_t>(floor);
    empty.tables = &tables;
    empty.model = model;
    std::vector<explorer<Size, Capacity>> found(std::max(threads, 1u), empty);
    for_each_run(mine.size(), threads, 1, [&](unsigned worker, std::size_t k, std::size_t) {
        found[worker].explore(shares[mine[k]]);
    });
    exact_maximum best;
    for (const explorer<Size, Capacity>& e : found) {
        best.runs += e.best.runs;
        if (e.best.cost > best.cost) {
            best.cost = e.best.cost;
            best_values = e.values;
        }
    }
    return best;
}

}  // namespace

bool exhaustive_maximum(const sortcost::program_info& p, int n, unsigned part, unsigned parts, unsigned threads,
                        std::uint64_t floor, exact_maximum& m, std::string& error) {
    m = {};
    std::vector<std::uint32_t> values;
    sortcost::closed_form closed;
    auto broken = [&](const char* what) {
        error = std::string(p.name) + " n=" + std::to_string(n) + ": " + what + " (a fault of the search)";
        return false;
    };
    if (sortcost::closed_form_maximum(p, static_cast<std::uint64_t>(n), closed)) {
        m.cost = closed.cost;
        values = closed.values;
    } else {
        // A state of room for 16 elements is the faster to copy.
        if (n <= 16)
            m = p.element_size == 4 ? search<4, 16>(p, n, part, parts, threads, floor, values)
                                    : search<1, 16>(p, n, part, parts, threads, floor, values);
        else
            m = p.element_size == 4 ? search<4, 32>(p, n, part, parts, threads, floor, values)
                                    : search<1, 32>(p, n, part, parts, threads, floor, values);
        if (m.runs == 0) return parts > 1 || broken("the search followed no course of answers");
        // The floor is some input's cost: that input's course is never cut.
        if (parts == 1 && m.cost < floor) return broken("the maximum found is below the cost of an input");
    }
    m.witness = sortcost::encode(p, values);
    if (sortcost::cost_of(p, m.witness) != m.cost) return broken("the witness does not cost the maximum found");
    return true;
}
