// SPDX-License-Identifier: MIT
#include "results.h"

#include <cstdio>
#include <map>

#include "cli.h"
#include "exhaustive.h"
#include "program_model.h"

const tsv_format results_format{{"program", "n", "max", "status", "runs", "seconds", "witness"}};

namespace {

// The input as numbers: words as 8 hexadecimal digits, bytes as 2.
std::string spelled(const sortcost::program_info& p, const std::vector<unsigned char>& in) {
    std::string s;
    char buf[16];
    for (std::uint32_t v : sortcost::decode(p, in.data(), in.size())) {
        std::snprintf(buf, sizeof buf, "%s%0*x", s.empty() ? "" : " ", static_cast<int>(2 * p.element_size), v);
        s += buf;
    }
    return s;
}

// The input spelled in `s`, or false.
bool unspelled(const sortcost::program_info& p, const std::string& s, std::vector<unsigned char>& out) {
    out.clear();
    const std::size_t digits = 2 * p.element_size;
    for (std::size_t at = 0; at < s.size(); at += digits + 1) {
        const std::string word = s.substr(at, digits);
        if (word.size() != digits || word.find_first_not_of("0123456789abcdef") != std::string::npos ||
            (at + digits < s.size() && s[at + digits] != ' '))
            return false;
        sortcost::append_element(p, out, static_cast<std::uint32_t>(std::stoul(word, nullptr, 16)));
    }
    return true;
}

std::string status_of(const result_row& r) {
    return r.parts == 1 ? "exact" : "part " + std::to_string(r.part) + "/" + std::to_string(r.parts);
}

// The reason `f` is no good row, or empty (then it is in `r`).
std::string parse_result(const std::vector<std::string>& f, result_row& r) {
    std::uint64_t n = 0;
    r.program = sortcost::find_program(f[0].c_str());
    if (!r.program) return "no such program: " + f[0];
    if (!parse_count(f[1], 1, exhaustive_max_elements, n) || !parse_count(f[2], 0, UINT64_MAX / 2, r.max) ||
        !parse_count(f[4], 0, UINT64_MAX / 2, r.runs))
        return "n, max and runs must be whole numbers, n from 1 to " + std::to_string(exhaustive_max_elements);
    r.n = static_cast<int>(n);
    unsigned k = 0, m = 0;
    char end = 0;
    if (f[3] == "exact") {
        r.part = r.parts = 1;
    } else if (std::sscanf(f[3].c_str(), "part %u/%u%c", &k, &m, &end) == 2 && k >= 1 && k <= m && m > 1 &&
               f[3] == "part " + std::to_string(k) + "/" + std::to_string(m)) {
        r.part = k;
        r.parts = m;
    } else {
        return "the status must be exact or part K/M, not '" + f[3] + "'";
    }
    char* stop = nullptr;
    r.seconds = std::strtod(f[5].c_str(), &stop);
    if (f[5].empty() || *stop != '\0' || !(r.seconds >= 0)) return "seconds must be a number of seconds";
    if (!unspelled(*r.program, f[6], r.witness)) return "the witness is not " + std::to_string(n) + " elements in hexadecimal";
    // A part may have followed no course; a closed form needs no witness;
    // anything else has one.
    sortcost::closed_form closed;
    if (r.witness.empty() && r.parts > 1 && r.max == 0 && r.runs == 0) return "";
    if (r.witness.empty() && sortcost::closed_form_maximum(*r.program, n, closed))
        return closed.cost == r.max ? "" : "the closed form gives " + std::to_string(closed.cost) + ", not " + std::to_string(r.max);
    if (r.witness.size() != n * r.program->element_size)
        return "the witness has " + std::to_string(r.witness.size() / r.program->element_size) + " elements, not " +
               std::to_string(n);
    const std::uint64_t cost = sortcost::cost_of(*r.program, r.witness);
    if (cost != r.max) return "the witness costs " + std::to_string(cost) + ", not the maximum " + std::to_string(r.max);
    return "";
}

}  // namespace

std::string result_line(const result_row& r) {
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", r.seconds);
    return tsv_line({r.program->name, std::to_string(r.n), std::to_string(r.max), status_of(r), std::to_string(r.runs),
                     seconds, r.witness.empty() ? "" : spelled(*r.program, r.witness)});
}

bool read_results(const std::string& path, std::vector<result_row>& out, std::string& error) {
    out.clear();
    tsv_table t;
    if (!read_tsv(path, results_format, t, error)) return false;
    for (const tsv_row& row : t.rows) {
        result_row r;
        const std::string why = parse_result(row.fields, r);
        if (!why.empty()) {
            error = escaped_path(path) + ":" + std::to_string(row.line) + ": " + why;
            return false;
        }
        out.push_back(r);
    }
    return true;
}

int merge_results(const char* prog, const std::vector<std::string>& files) {
    struct group {
        result_row merged;
        std::vector<bool> seen;
    };
    std::map<std::pair<std::size_t, int>, group> groups;
    std::string error;
    for (const std::string& file : files) {
        std::vector<result_row> rows;
        if (!read_results(file, rows, error)) return fail(prog, error);
        for (const result_row& r : rows) {
            group& g = groups[{sortcost::program_index(*r.program), r.n}];
            const std::string what = escaped_path(file) + ": " + r.program->name + " n=" + std::to_string(r.n) + " " +
                                     status_of(r);
            if (g.seen.empty()) {
                g.merged = r;
                g.merged.runs = 0;
                g.merged.seconds = 0;
                g.seen.assign(r.parts, false);
            }
            if (g.merged.parts != r.parts) return fail(prog, what + " does not match the parts before it");
            if (g.seen[r.part - 1]) return fail(prog, what + " appears twice");
            g.seen[r.part - 1] = true;
            g.merged.runs += r.runs;
            g.merged.seconds += r.seconds;
            if (r.max > g.merged.max || g.merged.witness.empty()) {
                g.merged.max = std::max(g.merged.max, r.max);
                if (r.max == g.merged.max) g.merged.witness = r.witness;
            }
        }
    }
    std::printf("%s", tsv_header(results_format).c_str());
    int status = 0;
    for (auto& [key, g] : groups) {
        std::string missing;
        for (unsigned k = 0; k < g.seen.size(); ++k)
            if (!g.seen[k]) missing += (missing.empty() ? "" : ", ") + std::to_string(k + 1) + "/" + std::to_string(g.seen.size());
        const std::string what = std::string(g.merged.program->name) + " n=" + std::to_string(g.merged.n);
        if (!missing.empty()) {
            status = fail(prog, what + ": no part " + missing);
            continue;
        }
        if (g.merged.witness.empty() && g.merged.max == 0) {
            status = fail(prog, what + ": no part followed a course of answers");
            continue;
        }
        // Checked again whole: the witness kept must be one that costs the
        // maximum of all the parts, not only of its own.
        if (!g.merged.witness.empty() && sortcost::cost_of(*g.merged.program, g.merged.witness) != g.merged.max) {
            status = fail(prog, what + ": the witness kept does not cost the maximum (a fault of merge)");
            continue;
        }
        g.merged.part = g.merged.parts = 1;
        std::printf("%s", result_line(g.merged).c_str());
    }
    return status;
}

bool proven_maximum(const std::string& path, const sortcost::program_info& program, std::uint64_t n,
                    std::uint64_t& max, std::string& error) {
    std::vector<result_row> rows;
    if (!read_results(path, rows, error)) return false;
    for (const result_row& r : rows)
        if (r.program == &program && static_cast<std::uint64_t>(r.n) == n && r.parts == 1) {
            max = r.max;
            return true;
        }
    error = escaped_path(path) + ": no exact maximum for " + program.name + " n=" + std::to_string(n);
    return false;
}
