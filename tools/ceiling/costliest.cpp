// SPDX-License-Identifier: MIT
#include "costliest.h"

#include "best_known.h"
#include "exhaustive.h"
#include "program_model.h"

known_input proven_if_small(const sortcost::program_info& program, std::size_t n, known_input best,
                            std::size_t search_up_to) {
    exact_maximum m;
    std::string ignored;
    if (!best.exact && n >= 1 && n <= search_up_to && n <= static_cast<std::size_t>(exhaustive_max_elements) &&
        exhaustive_maximum(program, static_cast<int>(n), 1, 1, 1, best.cost, m, ignored))
        best = {m.witness, m.cost, true, "exact maximum, found by trying every course of answers", ""};
    return best;
}

known_input costliest(const sortcost::program_info& program, std::size_t n, const std::vector<record>& records,
                      const std::string& records_dir, std::size_t search_up_to) {
    return proven_if_small(program, n, gather_starts(program, n, {&records, records_dir, false, {}}).front(),
                           search_up_to);
}
