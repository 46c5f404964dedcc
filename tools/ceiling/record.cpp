// SPDX-License-Identifier: MIT
#include "record.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "cli.h"
#include "costliest.h"
#include "exhaustive.h"
#include "pool.h"
#include "records.h"
#include "results.h"
#include "scoring.h"
#include "program_model.h"

int record_command(const char* prog, const sortcost::program_info& program, const std::string& path,
                   const std::string& method, const std::string& records_dir, const std::string& proof) {
    unsigned char* data = nullptr;
    const char* step = nullptr;
    const std::int64_t size = sortcost_read_input(path.c_str(), &data, &step);
    if (size < 0) {
        const int err = errno;
        return fail(prog, escaped_path(path) + ": " + step + ": " + (err ? std::strerror(err) : short_read));
    }
    const std::size_t n = static_cast<std::size_t>(size) / program.element_size;
    // The bytes past the last whole element change nothing.
    const std::vector<unsigned char> bytes(data, data + n * program.element_size);
    std::free(data);
    if (n == 0) return fail(prog, escaped_path(path) + ": not one whole element");
    const std::uint64_t cost = sortcost::cost_of(program, bytes);
    if (cost == 0) return fail(prog, escaped_path(path) + ": buf: " + std::strerror(errno));

    auto judge = [&](bool& exact, std::string& why) {
        exact = constructions(program, n).front().exact;
        if (exact) return true;
        std::uint64_t max = 0;
        if (!proof.empty()) {
            if (!proven_maximum(proof, program, n, max, why)) return false;
        } else if (n <= static_cast<std::size_t>(record_proves_up_to)) {
            // Any input's cost is a floor for the search: the costliest known
            // (records, grown and annealed) cuts off the most.
            records_file known;
            std::string ignored;
            std::uint64_t floor = cost;
            if (load_records(records_dir, known, ignored))
                floor = std::max(floor, costliest(program, n, known.rows, records_dir, 0).cost);
            exact_maximum m;
            if (!exhaustive_maximum(program, static_cast<int>(n), 1, 1, available_cores(), floor, m, why)) return false;
            max = m.cost;
        } else {
            return true;  // proven only apart, by exhaustive: minutes to hours
        }
        if (cost > max) {
            why = escaped_path(path) + " costs " + std::to_string(cost) + ", above the exact maximum " + std::to_string(max);
            return false;
        }
        exact = cost == max;
        return true;
    };
    std::string message;
    if (store_record(program, bytes, cost, method, records_dir, judge, message) != 0) return fail(prog, message);
    std::printf("%s\n", message.c_str());
    return 0;
}
