// SPDX-License-Identifier: MIT
#include "costliest.h"

#include "exhaustive.h"
#include "sortcost/program_model.h"

known_input costliest(const sortcost::program_info& program, std::size_t n, const std::vector<record>& records,
                      const std::string& records_dir, std::size_t search_up_to) {
    std::vector<known_input> known = constructions(program, n);
    if (known.front().exact) return known.front();
    if (const record* own = find_record(records, program, n)) {
        known_input r;
        r.bytes = record_bytes(records_dir, *own);
        r.cost = sortcost::cost_of(program, r.bytes);
        r.exact = own->status == "exact" && r.cost == own->cost;
        r.how = "record: " + own->method;
        known.push_back(r);
    }
    for (known_input& k : from_other_sizes(program, n, records, records_dir)) known.push_back(std::move(k));
    known_input best = costliest_of(known);
    exact_maximum m;
    std::string ignored;
    if (!best.exact && n >= 1 && n <= search_up_to && n <= static_cast<std::size_t>(exhaustive_max_elements) &&
        exhaustive_maximum(program, static_cast<int>(n), 1, 1, 1, best.cost, m, ignored))
        best = {m.witness, m.cost, true, "exact maximum, found by trying every course of answers"};
    return best;
}
