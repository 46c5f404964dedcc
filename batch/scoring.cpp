// SPDX-License-Identifier: MIT
#include "scoring.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

score_row score_file(const std::string& path, const std::vector<std::size_t>& columns) {
    score_row row;
    row.path = path;
    unsigned char* data = nullptr;
    const char* step = nullptr;
    std::int64_t size = sortcost_read_input(path.c_str(), &data, &step);
    // An empty file is readable: it has no bytes to sort, and every program
    // reports what it reports for a read that ends at once. A read that ends
    // short of a size above 0 (a file being rewritten, a sysfs file, a
    // device) is not.
    int err = errno;
    struct stat st;
    row.readable = size >= 0 || (std::strcmp(step, "fread") == 0 && err == 0 && stat(path.c_str(), &st) == 0 &&
                                 S_ISREG(st.st_mode) && st.st_size == 0);
    if (size < 0) {
        if (!row.readable) {
            row.failed_step = step;
            row.error = err;
        }
        for (auto& c : row.costs) c = sortcost::unreadable_cost;
        return row;
    }
    auto n = static_cast<std::size_t>(size);
    row.bytes = n;
    for (std::size_t p : columns) {
        row.costs[p] = sortcost::programs[p].cost(data, n);
        if (row.costs[p] == 0 && row.failed_step.empty()) {
            row.failed_step = "buf";
            row.error = errno;
        }
    }
    std::free(data);
    return row;
}

std::string read_error(const score_row& row) {
    return row.failed_step + ": " + (row.error ? std::strerror(row.error) : short_read);
}

namespace {

// A row as bytes, for a worker to hand over (the path is the entry's, known
// at both ends; both ends are the same program).
struct packed_row {
    std::uint64_t bytes;
    std::uint64_t costs[sortcost::program_count];
    std::int32_t error;
    std::uint8_t readable;
    std::uint8_t step_length;
};

void pack(std::string& out, const score_row& row) {
    packed_row p{row.bytes, {}, row.error, row.readable, static_cast<std::uint8_t>(row.failed_step.size())};
    std::memcpy(p.costs, row.costs, sizeof p.costs);
    out.append(reinterpret_cast<const char*>(&p), sizeof p);
    out += row.failed_step;
}

const char* unpack(const char* at, score_row& row) {
    packed_row p;
    std::memcpy(&p, at, sizeof p);
    at += sizeof p;
    row.bytes = p.bytes;
    std::memcpy(row.costs, p.costs, sizeof p.costs);
    row.error = p.error;
    row.readable = p.readable != 0;
    row.failed_step.assign(at, p.step_length);
    return at + p.step_length;
}

}  // namespace

void score_corpus(const std::vector<corpus_entry>& entries, const std::vector<std::size_t>& columns, unsigned jobs,
                  worker_kind kind, const std::function<void(const corpus_entry&, const score_row*)>& emit) {
    std::size_t next = 0;  // the entry the next result begins with
    run_in_order(
        entries.size(), jobs, kind,
        [&](std::size_t first, std::size_t last) {
            std::string out;
            for (std::size_t i = first; i < last; ++i)
                if (!entries[i].unlisted) pack(out, score_file(entries[i].path, columns));
            return out;
        },
        [&](std::string& result, std::size_t items) {
            const char* at = result.data();
            for (std::size_t i = next; i < next + items; ++i) {
                if (entries[i].unlisted) {
                    emit(entries[i], nullptr);
                    continue;
                }
                score_row row;
                row.path = entries[i].path;
                at = unpack(at, row);
                emit(entries[i], &row);
            }
            next += items;
        });
}
