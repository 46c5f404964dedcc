// SPDX-License-Identifier: MIT
#include "growth.h"

#include <cstdint>
#include <cstdio>

#include "costliest.h"
#include "program_model.h"
#include "tsv.h"

using namespace sortcost;

namespace {

std::uint64_t splitmix(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9E3779B97F4A7C15u);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    return z ^ (z >> 31);
}

// Inputs of n elements of the program's kind; values run over 0..n-1 (over
// every value, in order, where there are fewer values than elements).
std::vector<unsigned char> shaped(const program_info& program, const std::string& shape, std::size_t n) {
    std::vector<std::uint32_t> v(n);
    std::uint64_t state = n;
    for (std::size_t i = 0; i < n; ++i) {
        if (shape == "sorted") v[i] = static_cast<std::uint32_t>(i);
        else if (shape == "reversed") v[i] = static_cast<std::uint32_t>(n - 1 - i);
        else v[i] = static_cast<std::uint32_t>(splitmix(state));
    }
    const std::uint64_t values = distinct_values(program);
    if (shape != "random" && n > values)
        for (auto& x : v) x = static_cast<std::uint32_t>(x * values / n);
    return encode(program, v);
}

const tsv_format growth_format{{"program", "shape", "n", "cost"}};

void row(const program_info& program, const char* shape, std::uint64_t n, std::uint64_t cost) {
    std::fputs(tsv_line({program.name, shape, std::to_string(n), std::to_string(cost)}).c_str(), stdout);
}

}  // namespace

void print_growth(std::size_t max_n, const std::vector<record>& records, const std::string& records_dir) {
    std::fputs(tsv_header(growth_format).c_str(), stdout);
    for (const program_info& program : programs) {
        for (std::size_t n = 16; n <= max_n; n *= 2) {
            for (const char* shape : {"sorted", "random", "reversed"})
                row(program, shape, n, cost_of(program, shaped(program, shape, n)));
            // The adversary plays against the quicksort's questions only.
            if (program.sort == sort_kind::quicksort) row(program, "adversary", n, adversary_input(program, n).cost);
            row(program, status_name(record_status::best_known), n, costliest(program, n, records, records_dir, 0).cost);
            std::fflush(stdout);
        }
        for (const record& r : records)
            if (r.program == &program && r.status == record_status::exact) row(program, status_name(record_status::exact), r.elements, r.cost);
    }
}
