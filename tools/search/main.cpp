// SPDX-License-Identifier: MIT
// sortcost-search: a search for the costliest input of N elements.
//
//   sortcost-search [--time S] [--target COST] [--threads K] [--seed S]
//                   [--evaluations E] [--out FILE] [--records DIR] PROGRAM N
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "adversary.h"
#include "anneal.h"
#include "cli.h"
#include "outcomes.h"
#include "records.h"
#include "safe_file.h"
#include "scoring.h"
#include "sortcost/costs.h"

namespace {

const char* const prog = "sortcost-search";

constexpr std::uint64_t max_elements = 16384;

const char* const help =
    "Usage: sortcost-search [OPTION]... PROGRAM N\n"
    "Searches for the costliest input of N elements (1 to 16384) for PROGRAM\n"
    "(isort_words, qsort_words or qsort_bytes) and prints the best cost found.\n"
    "For the quicksorts it anneals over what decides their answers: for words,\n"
    "each word's top bit and the order of the other 31 bits, ties included; for\n"
    "bytes, their order with ties. isort_words is solved at once: distinct\n"
    "words in descending order cost the most.\n"
    "\n"
    "  --time S         stop after S seconds (default 10; 0: no limit)\n"
    "  --target COST    stop once an input costs COST or more\n"
    "  --evaluations E  stop after each thread has costed E inputs\n"
    "  --threads K      search on K threads (default: the cores available)\n"
    "  --seed S         the random seed (default 1); with --threads 1 a run\n"
    "                   that stops at --target or --evaluations is repeatable\n"
    "  --out FILE       write the best input to FILE\n"
    "  --records DIR    start from DIR's record for N, and keep the best input\n"
    "                   there if it beats it (default: read the records only)\n"
    "  --fresh          start from McIlroy's adversary's input and random ones,\n"
    "                   not from the record\n"
    "  --help           print this help and exit\n"
    "  --version        print the version and exit\n"
    "\n"
    "Exit status: 0, 1 if a file could not be read or written, 2 for a bad\n"
    "command line.\n";

int fail(const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", prog, what.c_str());
    return exit_failure;
}

// 1234567 as "1,234,567".
std::string count_text(std::uint64_t v) {
    const std::string digits = std::to_string(v);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);
    int handled;
    cli_args args = parse_cli(argc, argv, prog, help,
                              {{"--time", 0, true},
                               {"--target", 0, true},
                               {"--evaluations", 0, true},
                               {"--threads", 0, true},
                               {"--seed", 0, true},
                               {"--out", 0, true},
                               {"--records", 0, true},
                               {"--fresh", 0, false}},
                              handled);
    if (handled >= 0) return handled;
    search_options o;
    o.seconds = 10;
    o.threads = available_cores();
    std::string out_path, records_dir;
    bool fresh = false;
    for (const auto& option : args.options) {
        // Plain references: clang 14 cannot capture structured bindings.
        const std::string& name = option.first;
        const std::string& value = option.second;
        std::uint64_t v = 0;
        auto number = [&](std::uint64_t min, std::uint64_t max) {
            if (parse_count(value, min, max, v)) return true;
            usage_error(prog, name + " must be a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
                                  ", not '" + value + "'");
            return false;
        };
        if (name == "--time") {
            if (!number(0, 1000000)) return exit_usage;
            o.seconds = static_cast<double>(v);
        } else if (name == "--target") {
            if (!number(1, UINT64_MAX / 2)) return exit_usage;
            o.target = v;
        } else if (name == "--evaluations") {
            if (!number(1, UINT64_MAX / 2)) return exit_usage;
            o.evaluations = v;
        } else if (name == "--threads") {
            if (!number(1, 1024)) return exit_usage;
            o.threads = static_cast<unsigned>(v);
        } else if (name == "--seed") {
            if (!number(0, UINT64_MAX / 2)) return exit_usage;
            o.seed = v;
        } else if (name == "--fresh") {
            fresh = true;
        } else if (name == "--out") {
            out_path = value;
        } else {
            records_dir = value;
        }
    }
    const std::vector<std::string>& a = args.operands;
    if (a.size() != 2) return usage_error(prog, "give PROGRAM and N");
    o.program = sortcost::find_program(a[0].c_str());
    if (!o.program) return usage_error(prog, "no such program: '" + a[0] + "' (isort_words, qsort_words or qsort_bytes)");
    std::uint64_t n;
    if (!parse_count(a[1], 1, max_elements, n))
        return usage_error(prog, "N must be a whole number from 1 to 16384, not '" + a[1] + "'");
    o.n = static_cast<std::size_t>(n);
    if (o.seconds == 0 && !o.target && !o.evaluations)
        return usage_error(prog, "with --time 0, give --target or --evaluations, or it never stops");
    if (!records_dir.empty()) {
        struct stat st;
        if (stat(records_dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            return fail("--records " + escaped_path(records_dir) + ": " + std::strerror(errno ? errno : ENOTDIR));
    }

    // The record for N, if there is one, is where the first thread starts.
    records_file records;
    std::string error;
    const std::string read_dir = records_dir.empty() ? default_records_dir() : records_dir;
    if (!load_records(read_dir, records, error)) return fail(error);
    const record* known = nullptr;
    for (const record& r : records.rows)
        if (r.program == o.program->name && r.elements == o.n) known = &r;

    search_result best;
    const std::size_t elem = o.program->element_size;
    if (elem == 4 && std::string(o.program->name) == "isort_words") {
        // Every pair out of order: n (n - 1) / 2 exchanges, the most there are.
        auto start = std::chrono::steady_clock::now();
        best.best.top.assign(o.n, 0);
        for (std::size_t i = 0; i < o.n; ++i) best.best.rank.push_back(static_cast<std::uint32_t>(o.n - 1 - i));
        std::vector<unsigned char> bytes = realise(best.best, elem);
        best.cost = o.program->cost(bytes.data(), bytes.size());
        best.evaluations = 1;
        best.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    } else {
        // The record, unless --fresh, then McIlroy's adversary's input (as
        // the quicksort sorts item numbers of the element's size), then
        // random inputs.
        if (known && !fresh) o.starts.push_back(describe(record_bytes(read_dir, *known), elem));
        std::uint64_t unused = 0;
        if (o.n <= 256 || elem == 4) {
            outcome_input adversary;
            adversary.rank = adversarial_values(o.n, elem, unused);
            adversary.top.assign(o.n, 0);
            o.starts.push_back(adversary);
        }
        progress_line line;
        best = anneal(o, [&](std::uint64_t cost, double seconds, std::uint64_t evaluations) {
            line.show("best " + count_text(cost) + " after " + std::to_string(static_cast<int>(seconds)) + " s, " +
                      count_text(static_cast<std::uint64_t>(static_cast<double>(evaluations) / std::max(seconds, 1e-3))) +
                      " inputs/s");
        });
        line.clear();
    }

    const std::vector<unsigned char> bytes = realise(best.best, elem);
    const bool exact = std::string(o.program->name) == "isort_words" ||
                       (known && known->status == "exact" && known->cost == best.cost);
    std::printf("%s n=%zu cost=%llu %s (%s inputs in %.1f s on %u thread%s, seed %llu)\n", o.program->name, o.n,
                static_cast<unsigned long long>(best.cost), exact ? "exact maximum" : "best known",
                count_text(best.evaluations).c_str(), best.seconds, o.threads, o.threads == 1 ? "" : "s",
                static_cast<unsigned long long>(o.seed));
    int status = 0;
    if (!out_path.empty() && !write_file_atomically(out_path, std::string(bytes.begin(), bytes.end()), error))
        status = fail(escaped_path(error));
    if (!records_dir.empty() && (!known || best.cost > known->cost)) {
        // How to find it again: the command, and where it started.
        std::string method = std::string("sortcost-search ") + o.program->name + " " + std::to_string(o.n) + " --time " +
                             std::to_string(static_cast<long long>(o.seconds)) + " --threads " + std::to_string(o.threads) +
                             " --seed " + std::to_string(o.seed) + (fresh ? " --fresh" : "") + ": " +
                             count_text(best.evaluations) + " inputs in " +
                             std::to_string(static_cast<long long>(best.seconds + 0.5)) + " s";
        if (known && !fresh) method += ", from the record then held (cost " + std::to_string(known->cost) + ")";
        std::string message;
        if (store_record(o.program->name, bytes, best.cost, method, records_dir,
                         [&](bool& is_exact, std::string&) {
                             is_exact = std::string(o.program->name) == "isort_words";
                             return true;
                         },
                         message) != 0)
            status = fail(message);
        else
            std::printf("%s\n", message.c_str());
    }
    return finish_output(prog, status);
}
