// SPDX-License-Identifier: MIT
// sortcost-ceiling: the costliest inputs known for each benchmark.
//
//   sortcost-ceiling [--records DIR] write PROGRAM N FILE
//   sortcost-ceiling exhaustive N
//   sortcost-ceiling [--records DIR] growth [MAX_N]
//   sortcost-ceiling [--records DIR] record PROGRAM FILE METHOD
//
// Every cost printed is computed from the input's bytes with the in-process
// entry points, so it is the number the program prints for them.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli.h"
#include "costliest.h"
#include "exhaustive.h"
#include "growth.h"
#include "inputs.h"
#include "records.h"
#include "safe_file.h"
#include "scoring.h"
#include "sortcost/costs.h"

namespace {

const char* const prog = "sortcost-ceiling";

// The largest input `write` and `growth` make: costing a quicksort's input
// of n elements takes time in n squared, a minute or more past this.
constexpr std::uint64_t max_elements = 16384;

// record proves a record exact by search up to this many elements (a few
// seconds on two cores).
constexpr int record_proves_up_to = 11;

const std::string help = std::string(
    "Usage: sortcost-ceiling [--records DIR] write PROGRAM N FILE\n"
    "       sortcost-ceiling [--records DIR] exhaustive [--part K/M] [--threads T] [--from M]\n"
    "                        [--program P]... [--no-pruning] N\n"
    "       sortcost-ceiling merge FILE...\n"
    "       sortcost-ceiling [--records DIR] growth [MAX_N]\n"
    "       sortcost-ceiling [--records DIR] [--proof TSV] record PROGRAM FILE METHOD\n"
    "The costliest inputs known for isort_words, qsort_words and qsort_bytes.\n"
    "\n"
    "  write       write the costliest input known of N elements (1 to 16384)\n"
    "              to FILE and print its cost, exact or best known\n"
    "  exhaustive  prove the maximum cost of 1 (or --from M) to N elements (N up\n"
    "              to ") + std::to_string(exhaustive_max_elements) + "), on T threads (default: every core); with --part K/M,\n" +
    "              only part K of M, for machines that share the work; courses\n"
    "              of answers that cannot reach the costliest input known are cut\n"
    "              short (not with --no-pruning)\n"
    "  merge       the maxima of all the parts' outputs\n" +
    "  growth      print how the costs grow with n, up to MAX_N (16384)\n"
    "  record      keep FILE as the record for its size if it costs more,\n"
    "              with METHOD saying how it was found\n"
    "\n"
    "  --proof TSV    for record: exhaustive's or merge's output, whose exact\n"
    "                 row for the input's size proves it (past 11 elements)\n"
    "  --records DIR  the records folder (default: your own, made from the\n"
    "                 installed records when `record` first needs it)\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Exit status: 0, 1 if a file could not be read or written, 2 for a bad\n"
    "command line.\n";

// A program's name, or a usage error.
const sortcost::program_info* program_arg(const std::string& name, int& status) {
    const sortcost::program_info* p = sortcost::find_program(name.c_str());
    if (!p) status = usage_error(prog, "no such program: '" + name + "' (isort_words, qsort_words or qsort_bytes)");
    return p;
}

int fail(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", prog, what.c_str());
    return exit_failure;
}

bool load(const std::string& dir, records_file& f) {
    std::string error;
    if (load_records(dir, f, error)) return true;
    fail(error);
    return false;
}

int write(const std::string& program, std::size_t n, const std::string& path, const std::string& records_dir) {
    records_file f;
    if (!load(records_dir, f)) return exit_failure;
    ceiling_input c = costliest(program, n, f.rows, records_dir);
    std::string error;
    if (!write_file_atomically(path, std::string(c.bytes.begin(), c.bytes.end()), error))
        return fail(escaped_path(error));
    std::printf("%s n=%zu cost=%llu %s (%s)\n", program.c_str(), n, static_cast<unsigned long long>(c.cost),
                c.exact ? "exact maximum" : "best known", c.how.c_str());
    return 0;
}

// The input as numbers: words as 8 hexadecimal digits, bytes as 2.
std::string spelled(const std::string& program, const std::vector<unsigned char>& in) {
    std::string s;
    char buf[16];
    if (element_size(program) == 1) {
        for (unsigned char b : in) std::snprintf(buf, sizeof buf, "%s%02x", s.empty() ? "" : " ", b), s += buf;
        return s;
    }
    for (std::size_t i = 0; i + 4 <= in.size(); i += 4) {
        std::uint32_t w = 0;
        for (int b = 3; b >= 0; --b) w = w << 8 | in[i + static_cast<std::size_t>(b)];  // little-endian
        std::snprintf(buf, sizeof buf, "%s%08x", s.empty() ? "" : " ", w);
        s += buf;
    }
    return s;
}

// Stores FILE as the record for its size when it costs more than the record
// there; exact when that is proven, else best known. The input is read as
// the programs read it; the records change under the folder's lock, each
// file replaced whole.
// The maximum an exhaustive (or merge) output proves for `program` and n:
// its "exact" row, or 0 when it has none. False if the file cannot be read.
bool proven_maximum(const std::string& file, const std::string& program, std::size_t n, std::uint64_t& max) {
    max = 0;
    std::ifstream in(file);
    if (!in) return false;
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> f;
        std::istringstream fields(line);
        for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
        std::uint64_t rows_n = 0, rows_max = 0;
        if (f.size() >= 5 && f[0] == program && f[3] == "exact" && parse_count(f[1], 1, exhaustive_max_elements, rows_n) &&
            rows_n == n && parse_count(f[2], 1, UINT64_MAX / 2, rows_max))
            max = rows_max;
    }
    return true;
}

int add_record(const std::string& program, const std::string& path, std::string method, const std::string& dir,
               const std::string& proof) {
    unsigned char* data = nullptr;
    const char* step = nullptr;
    std::int64_t size = sortcost_read_input(path.c_str(), &data, &step);
    if (size < 0) {
        int err = errno;
        return fail(escaped_path(path) + ": " + step + ": " +
                    (err ? std::strerror(err) : "empty, or shorter than its size"));
    }
    std::vector<unsigned char> bytes(data, data + size);
    std::free(data);
    const std::size_t elem = element_size(program);
    const std::size_t n = bytes.size() / elem;
    if (n == 0) return fail(escaped_path(path) + ": not one whole element");
    bytes.resize(n * elem);  // the bytes past the last whole word change nothing
    const std::uint64_t cost = program_cost(program, bytes);
    if (cost == 0) return fail(escaped_path(path) + ": buf: " + std::strerror(errno));

    // Any input's cost is a floor for the search that proves a record: the
    // costliest known (records, grown and annealed) cuts off the most.
    std::uint64_t floor = cost;
    if (n <= static_cast<std::size_t>(record_proves_up_to)) {
        records_file known;
        std::string ignored;
        if (load_records(dir, known, ignored))
            floor = std::max(floor, costliest(program, n, known.rows, dir, 0).cost);
    }
    std::string message;
    int status = store_record(
        program, bytes, cost, method, dir,
        [&](bool& exact, std::string& why) {
            exact = construction(program, n).exact;
            // A record is proven where the proof takes seconds; past that,
            // exhaustive runs apart (it takes minutes to hours).
            std::uint64_t max = 0;
            if (!exact && !proof.empty()) {
                if (!proven_maximum(proof, program, n, max)) {
                    why = escaped_path(proof) + ": " + std::strerror(errno);
                    return false;
                }
                if (max == 0) {
                    why = escaped_path(proof) + ": no exact maximum for " + program + " n=" + std::to_string(n);
                    return false;
                }
            }
            if (exact || (max == 0 && n > static_cast<std::size_t>(record_proves_up_to))) return true;
            if (max == 0) max = exhaustive_maximum(program, static_cast<int>(n), 1, 1, available_cores(), floor).cost;
            if (cost > max) {
                why = escaped_path(path) + " costs " + std::to_string(cost) + ", above the exact maximum " +
                      std::to_string(max);
                return false;
            }
            exact = cost == max;
            return true;
        },
        message);
    if (status != 0) return fail(message);
    std::printf("%s\n", message.c_str());
    return 0;
}

// Prints each maximum (or part's maximum) as it is proven; stops once
// standard output fails. With `records`, the search cuts off courses that
// cannot reach the cost of the costliest input known (records, grown from
// smaller ones and annealed): that input's own course survives, so the
// maximum is still found.
void exhaustive(int from_n, int max_n, const std::vector<std::string>& programs, unsigned part, unsigned parts,
                unsigned threads, const records_file* records, const std::string& records_dir) {
    progress_line progress;
    std::printf("program\tn\tmax\tstatus\truns\tseconds\twitness\n");
    const std::string status = parts == 1 ? "exact" : "part " + std::to_string(part) + "/" + std::to_string(parts);
    for (int n = from_n; n <= max_n; ++n) {
        for (const std::string& program : programs) {
            progress.show("exhaustive: " + program + ", n = " + std::to_string(n) + " ...");
            auto start = std::chrono::steady_clock::now();
            std::uint64_t floor = 0;
            if (records && program != "isort_words")
                floor = costliest(program, static_cast<std::size_t>(n), records->rows, records_dir, 0).cost;
            exact_maximum m = exhaustive_maximum(program, n, part, parts, threads, floor);
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%s\t%d\t%llu\t%s\t%llu\t%.2f\t%s\n", program.c_str(), n, static_cast<unsigned long long>(m.cost),
                        status.c_str(), static_cast<unsigned long long>(m.runs), seconds,
                        m.runs ? spelled(program, m.witness).c_str() : "");
            progress.clear();
            if (!flush_output()) return;
        }
    }
}

// The maxima of parts run apart (exhaustive --part K/M), merged: for each
// program and n, every part from 1 to M must be there once.
int merge(const std::vector<std::string>& files) {
    struct group {
        std::uint64_t max = 0, runs = 0;
        double seconds = 0;
        std::string witness;
        unsigned parts = 0;
        std::vector<bool> seen;
    };
    std::map<std::pair<std::string, int>, group> groups;
    for (const std::string& file : files) {
        std::ifstream in(file);
        if (!in) return fail(escaped_path(file) + ": " + std::strerror(errno));
        std::size_t number = 0;
        for (std::string line; std::getline(in, line);) {
            ++number;
            if (line.rfind("program\t", 0) == 0 || line.empty()) continue;
            std::vector<std::string> f;
            std::istringstream fields(line);
            for (std::string x; std::getline(fields, x, '\t');) f.push_back(x);
            if (f.size() == 6) f.emplace_back();  // a part with no course of answers has no witness
            unsigned k = 1, m = 1;
            std::uint64_t n = 0, max = 0, runs = 0;
            const bool ok = f.size() == 7 && sortcost::find_program(f[0].c_str()) &&
                            parse_count(f[1], 1, exhaustive_max_elements, n) && parse_count(f[2], 0, UINT64_MAX / 2, max) &&
                            parse_count(f[4], 0, UINT64_MAX / 2, runs) &&
                            (f[3] == "exact" || (std::sscanf(f[3].c_str(), "part %u/%u", &k, &m) == 2 && k >= 1 && k <= m));
            if (!ok) return fail(escaped_path(file) + ":" + std::to_string(number) + ": not a row of exhaustive's output");
            group& g = groups[{f[0], static_cast<int>(n)}];
            if (g.parts == 0) {
                g.parts = m;
                g.seen.assign(m, false);
            }
            if (g.parts != m || g.seen[k - 1])
                return fail(escaped_path(file) + ":" + std::to_string(number) + ": " + f[0] + " n=" + f[1] + " " + f[3] +
                            (g.parts != m ? " does not match the parts before it" : " appears twice"));
            g.seen[k - 1] = true;
            g.runs += runs;
            g.seconds += std::strtod(f[5].c_str(), nullptr);
            if (max > g.max || g.witness.empty()) {
                g.max = std::max(g.max, max);
                if (max == g.max) g.witness = f[6];
            }
        }
    }
    std::printf("program\tn\tmax\tstatus\truns\tseconds\twitness\n");
    int status = 0;
    for (const auto& [key, g] : groups) {
        std::string missing;
        for (unsigned k = 0; k < g.parts; ++k)
            if (!g.seen[k]) missing += (missing.empty() ? "" : ", ") + std::to_string(k + 1) + "/" + std::to_string(g.parts);
        if (!missing.empty()) {
            std::fprintf(stderr, "%s: %s n=%d: no part %s\n", prog, key.first.c_str(), key.second, missing.c_str());
            status = exit_failure;
            continue;
        }
        std::printf("%s\t%d\t%llu\texact\t%llu\t%.2f\t%s\n", key.first.c_str(), key.second,
                    static_cast<unsigned long long>(g.max), static_cast<unsigned long long>(g.runs), g.seconds,
                    g.witness.c_str());
    }
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit is a write that fails, reported, not a signal.
    std::signal(SIGXFSZ, SIG_IGN);
    int handled;
    cli_args args = parse_cli(argc, argv, prog, help.c_str(),
                              {{"--records", 0, true}, {"--part", 0, true}, {"--threads", 0, true}, {"--from", 0, true},
                               {"--program", 0, true}, {"--proof", 0, true}, {"--no-pruning", 0, false}},
                              handled);
    if (handled >= 0) return handled;
    std::string records_dir;
    unsigned part = 1, parts = 1, threads = available_cores();
    std::uint64_t from_n = 1;
    std::vector<std::string> only;
    std::string proof;
    bool prune = true;
    for (const auto& [name, value] : args.options) {
        if (name == "--records") {
            records_dir = value;
        } else if (name == "--part") {
            if (std::sscanf(value.c_str(), "%u/%u", &part, &parts) != 2 || part < 1 || part > parts || parts > 1000000 ||
                value != std::to_string(part) + "/" + std::to_string(parts))
                return usage_error(prog, "--part must be K/N with 1 <= K <= N, not '" + value + "'");
        } else if (name == "--threads") {
            std::uint64_t t;
            if (!parse_count(value, 1, 1024, t))
                return usage_error(prog, "--threads must be a whole number from 1 to 1024, not '" + value + "'");
            threads = static_cast<unsigned>(t);
        } else if (name == "--no-pruning") {
            prune = false;
        } else if (name == "--proof") {
            proof = value;
        } else if (name == "--from") {
            if (!parse_count(value, 1, exhaustive_max_elements, from_n))
                return usage_error(prog, "--from must be a whole number from 1 to " + std::to_string(exhaustive_max_elements) +
                                             ", not '" + value + "'");
        } else {
            int status = 0;
            if (!program_arg(value, status)) return status;
            only.push_back(value);
        }
    }
    if (only.empty())
        for (const sortcost::program_info& p : sortcost::programs) only.push_back(p.name);
    if (!records_dir.empty()) {
        struct stat st;
        if (stat(records_dir.c_str(), &st) != 0) return fail("--records " + escaped_path(records_dir) + ": " + std::strerror(errno));
        if (!S_ISDIR(st.st_mode)) return fail("--records " + escaped_path(records_dir) + ": " + std::strerror(ENOTDIR));
    }
    const std::vector<std::string>& a = args.operands;
    if (a.empty()) return usage_error(prog, "no command (write, exhaustive, growth or record)");
    const std::string& command = a[0];
    auto count = [&](std::size_t i, std::uint64_t min, std::uint64_t max, const char* what, std::uint64_t& out) {
        if (parse_count(a[i], min, max, out)) return true;
        usage_error(prog, std::string(what) + " must be a whole number from " + std::to_string(min) + " to " +
                              std::to_string(max) + ", not '" + a[i] + "'");
        return false;
    };
    int status = 0;
    std::uint64_t n = 0;
    if (command == "write") {
        if (a.size() != 4) return usage_error(prog, "write takes PROGRAM N FILE");
        if (!program_arg(a[1], status)) return status;
        if (!count(2, 1, max_elements, "N", n)) return exit_usage;
        if (records_dir.empty()) records_dir = default_records_dir();
        status = write(a[1], static_cast<std::size_t>(n), a[3], records_dir);
    } else if (command == "exhaustive") {
        if (a.size() != 2) return usage_error(prog, "exhaustive takes N");
        if (!count(1, 1, static_cast<std::uint64_t>(exhaustive_max_elements), "N", n)) return exit_usage;
        records_file f;
        // Records only make the floor higher: without the default folder,
        // the floor comes from the constructions alone.
        std::string ignored;
        if (prune && records_dir.empty()) {
            records_dir = default_records_dir();
            if (!load_records(records_dir, f, ignored)) f = records_file{};
        } else if (prune && !load(records_dir, f)) {
            return exit_failure;
        }
        exhaustive(static_cast<int>(from_n), static_cast<int>(n), only, part, parts, threads, prune ? &f : nullptr,
                   records_dir);
    } else if (command == "merge") {
        if (a.size() < 2) return usage_error(prog, "merge takes the FILEs that exhaustive --part wrote");
        status = merge(std::vector<std::string>(a.begin() + 1, a.end()));
    } else if (command == "growth") {
        if (a.size() > 2) return usage_error(prog, "growth takes at most MAX_N");
        n = max_elements;
        if (a.size() == 2 && !count(1, 1, max_elements, "MAX_N", n)) return exit_usage;
        if (records_dir.empty()) records_dir = default_records_dir();
        records_file f;
        if (!load(records_dir, f)) return exit_failure;
        print_growth(static_cast<std::size_t>(n), f.rows, records_dir);
    } else if (command == "record") {
        if (a.size() != 4) return usage_error(prog, "record takes PROGRAM FILE METHOD");
        if (!program_arg(a[1], status)) return status;
        if (a[3].empty()) return usage_error(prog, "METHOD must say how the input was found");
        std::string error;
        if (records_dir.empty() && !writable_records_dir(records_dir, error)) return fail(escaped_path(error));
        status = add_record(a[1], a[2], a[3], records_dir, proof);
    } else {
        return usage_error(prog, "no such command: '" + command + "' (write, exhaustive, growth or record)");
    }
    return finish_output(prog, status);
}
