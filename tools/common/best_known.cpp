// SPDX-License-Identifier: MIT
#include "best_known.h"

#include <algorithm>

#include "program_model.h"

using namespace sortcost;

std::vector<known_input> gather_starts(const program_info& program, std::size_t n, const start_plan& plan) {
    std::vector<known_input> starts;
    const bool given = !plan.given.empty();
    for (const known_input& k : plan.given) starts.push_back({k.bytes, cost_of(program, k.bytes), false, k.how, k.detail});
    // A proven maximum by a closed form is offered whatever the plan.
    closed_form max;
    if (!given || plan.fresh || closed_form_maximum(program, n, max))
        for (known_input& k : constructions(program, n)) starts.push_back(std::move(k));
    if (!given && !plan.fresh && plan.records) {
        if (const record* own = find_record(*plan.records, program, n)) {
            known_input r{record_bytes(plan.records_dir, *own), 0, false, "the record", own->method};
            r.cost = cost_of(program, r.bytes);
            r.exact = own->status == record_status::exact && r.cost == own->cost;
            starts.push_back(std::move(r));
        }
        for (known_input& k : from_other_sizes(program, n, *plan.records, plan.records_dir)) starts.push_back(std::move(k));
    }
    std::stable_sort(starts.begin(), starts.end(), [](const known_input& a, const known_input& b) {
        return a.cost != b.cost ? a.cost > b.cost : a.exact && !b.exact;
    });
    return starts;
}

best_known search_from(search_options o, const std::vector<known_input>& starts,
                       const std::function<void(const search_result&)>& progress) {
    best_known b;
    if (!starts.empty()) b.input = starts.front();
    if (b.input.exact || (o.seconds <= 0 && !o.target && !o.evaluations)) return b;
    o.starts.clear();
    for (const known_input& k : starts) o.starts.push_back(describe(*o.program, k.bytes));
    b.search = anneal(o, progress);
    const std::string from = starts.empty() ? "random inputs"
                                            : b.input.how + " (cost " + std::to_string(b.input.cost) + ")";
    if (b.search.cost > b.input.cost || starts.empty())
        b.input = {realise(*o.program, b.search.best), b.search.cost, false, "searched from " + from, ""};
    else
        b.input.how = from + ", not improved on by the search";
    return b;
}

std::string result_line(const program_info& program, std::size_t n, const known_input& input) {
    return std::string(program.name) + " n=" + std::to_string(n) + " cost=" + std::to_string(input.cost) +
           (input.exact ? " exact maximum (" : " best known (") + input.how +
           (input.detail.empty() ? "" : ": " + input.detail) + ")\n";
}
