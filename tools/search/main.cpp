// SPDX-License-Identifier: MIT
// sortcost-search: a search for the costliest input of N elements.
//
//   sortcost-search [--time S] [--target COST] [--threads K] [--seed S]
//                   [--evaluations E] [--out FILE] [--records DIR] PROGRAM N
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "anneal.h"
#include "best_known.h"
#include "cli.h"
#include "pool.h"
#include "records.h"
#include "safe_file.h"
#include "starts.h"
#include "program_model.h"

namespace {

using namespace sortcost;

const char* const prog = "sortcost-search";

const std::string help = "Usage: sortcost-search [OPTION]... PROGRAM N\n"
                         "Searches for the costliest input of N elements (1 to " +
                         std::to_string(max_input_elements) +
                         ") for PROGRAM\n"
                         "(" + program_names("or") + ") and prints the best cost found.\n"
                         "For the quicksorts it anneals over what decides their answers: for words,\n"
                         "each word's top bit and the order of the other 31 bits, ties included; for\n"
                         "bytes, their order with ties. isort_words is solved at once: distinct\n"
                         "words in descending order cost the most.\n"
                         "\n"
                         "  --time S         stop after S seconds (default 10; 0: no limit)\n"
                         "  --target COST    stop once an input costs COST or more\n"
                         "  --evaluations E  stop after each thread has costed E inputs\n"
                         "  --threads K      search on K threads (default: the cores available)\n"
                         "  --seed S         the random seed (default 1); with --threads 1 and\n"
                         "                   --time 0, a run that stops at --target or --evaluations\n"
                         "                   is repeatable (with a time limit, the first sweep's\n"
                         "                   length is set by the clock)\n"
                         "  --out FILE       write the best input to FILE\n"
                         "  --corpus DIR     write each new best input into DIR as it is found, named\n"
                         "                   i<inputs costed>-c<cost> (for a watcher such as sortcost-eval)\n"
                         "  --records DIR    start from DIR's record for N and its records of other\n"
                         "                   sizes, and keep the best input there if it beats the\n"
                         "                   record (default: read the records only)\n"
                         "  --fresh          start from no record: from McIlroy's adversary's input,\n"
                         "                   for words runs of 0 and 2^31, and random inputs\n"
                         "  --starts DIR     start from the inputs in DIR's files and nothing else (no\n"
                         "                   record, no random input; with --fresh, the inputs above\n"
                         "                   too); a file of fewer than N elements is followed by zeros\n"
                         "  --help           print this help and exit\n"
                         "  --version        print the version and exit\n"
                         "\n"
                         "Exit status: 0, 1 if a file could not be read or written, 2 for a bad\n"
                         "command line.\n";

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

// Writes each new best of a search into a folder, as i<inputs>-c<cost>, so
// that a watcher sees it as soon as it is found.
struct corpus_writer {
    std::string dir;
    std::uint64_t written = 0;  // the best cost written so far
    std::string error;
    void offer(const program_info& p, const search_result& r) {
        if (dir.empty() || r.cost <= written || !error.empty()) return;
        const std::vector<unsigned char> bytes = realise(p, r.best);
        const std::string name = dir + "/i" + std::to_string(r.evaluations) + "-c" + std::to_string(r.cost);
        if (write_file_atomically(name, std::string(bytes.begin(), bytes.end()), error)) written = r.cost;
    }
};

// The search from the starts `plan` gathers, its progress on the terminal
// and each new best offered to the corpus.
best_known searched(search_options& o, const start_plan& plan, corpus_writer& corpus) {
    const program_info& p = *o.program;
    o.starts_only = !plan.given.empty();
    progress_line line;
    best_known b = search_from(o, gather_starts(p, o.n, plan), [&](const search_result& now) {
        corpus.offer(p, now);
        line.show("best " + count_text(now.cost) + " after " + std::to_string(static_cast<int>(now.seconds)) + " s, " +
                  count_text(static_cast<std::uint64_t>(static_cast<double>(now.evaluations) / std::max(now.seconds, 1e-3))) +
                  " inputs/s");
    });
    line.clear();
    corpus.offer(p, b.search);
    return b;
}

// The inputs of --starts DIR; false, the reason printed, if they cannot be had.
bool read_starts(const program_info& p, std::size_t n, const std::string& dir, std::vector<known_input>& out) {
    std::string error;
    if (check_folder(prog, "--starts", dir) != 0) return false;
    if (inputs_in_folder(p, n, dir, out, error)) return true;
    fail(prog, error);
    return false;
}

// Keeps a search's best as the record in `records_dir` (or, with none
// given, says it would beat the record in `read_dir`); the method says how
// to find it again.
int offer_record(const program_info& p, std::size_t n, const best_known& b, const std::string& command,
                 const record* known, const std::string& records_dir, const std::string& read_dir) {
    const std::string about = std::string(p.name) + " n=" + std::to_string(n) + " cost=" + std::to_string(b.input.cost);
    if (records_dir.empty()) {
        const std::string what = known ? "beats the record of " + std::to_string(known->cost) : "has no record to beat";
        std::printf("%s %s in %s; keep it with --records DIR\n", about.c_str(), what.c_str(), escaped_path(read_dir).c_str());
        return 0;
    }
    const std::string method = command + ": " + count_text(b.search.evaluations) + " inputs in " +
                               std::to_string(static_cast<long long>(b.search.seconds + 0.5)) + " s, " + b.input.how +
                               (known ? "; above the record then held (cost " + std::to_string(known->cost) + ")" : "");
    std::string message;
    bool kept = false;
    const bool exact = b.input.exact;
    if (store_record(
            p, b.input.bytes, b.input.cost, method, records_dir,
            [&](bool& is_exact, std::string&) {
                is_exact = exact;
                return true;
            },
            message, &kept) != 0)
        return fail(prog, message);
    std::printf("%s%s\n", kept ? "kept as the record: " : "", message.c_str());
    return 0;
}

// What the command line asks for.
struct request {
    search_options o;
    std::string out_path, records_dir, starts_dir;
    bool fresh = false;
    corpus_writer corpus;
};

// Reads the command line into `r`: -1, or the status to exit with.
int read_request(int argc, char** argv, request& r) {
    const cli_args args = parse_cli(argc, argv, prog, help.c_str(),
                                    {{"--time", 0, cli_option::count, 0, 1000000},
                                     {"--target", 0, cli_option::count, 1, UINT64_MAX / 2},
                                     {"--evaluations", 0, cli_option::count, 1, UINT64_MAX / 2},
                                     {"--threads", 0, cli_option::count, 1, max_workers},
                                     {"--seed", 0, cli_option::count, 0, UINT64_MAX / 2},
                                     {"--out", 0, cli_option::text},
                                     {"--records", 0, cli_option::text},
                                     {"--corpus", 0, cli_option::text},
                                     {"--fresh", 0, cli_option::flag},
                                     {"--starts", 0, cli_option::text}});
    if (args.handled >= 0) return args.handled;
    search_options& o = r.o;
    o.seconds = static_cast<double>(args.count("--time", 10));
    o.target = args.count("--target", 0);
    o.evaluations = args.count("--evaluations", 0);
    o.threads = static_cast<unsigned>(args.count("--threads", available_cores()));
    o.seed = args.count("--seed", 1);
    r.out_path = args.text("--out");
    r.records_dir = args.text("--records");
    r.starts_dir = args.text("--starts");
    r.corpus.dir = args.text("--corpus");
    r.fresh = args.has("--fresh");
    const std::vector<std::string>& a = args.operands;
    if (a.size() != 2) return usage_error(prog, "give PROGRAM and N");
    o.program = program_operand(prog, a[0]);
    std::uint64_t n = 0;
    if (!o.program || !count_operand(prog, "N", a[1], 1, max_input_elements, n)) return exit_usage;
    o.n = static_cast<std::size_t>(n);
    if (o.seconds == 0 && !o.target && !o.evaluations)
        return usage_error(prog, "with --time 0, give --target or --evaluations, or it never stops");
    if (!r.records_dir.empty() && check_folder(prog, "--records", r.records_dir) != 0) return exit_failure;
    if (!r.corpus.dir.empty() && check_folder(prog, "--corpus", r.corpus.dir) != 0) return exit_failure;
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);
    request req;
    if (const int status = read_request(argc, argv, req); status >= 0) return status;
    search_options& o = req.o;
    const program_info& p = *o.program;
    const std::string &out_path = req.out_path, &records_dir = req.records_dir, &starts_dir = req.starts_dir;
    const bool fresh = req.fresh;
    corpus_writer& corpus = req.corpus;
    std::vector<known_input> given;
    if (!starts_dir.empty() && !read_starts(p, o.n, starts_dir, given)) return exit_failure;
    std::string error;

    // The record for N, if there is one, is where the first thread starts.
    records_file records;
    const std::string read_dir = records_dir.empty() ? default_records_dir() : records_dir;
    if (!load_records(read_dir, records, error)) return fail(prog, error);
    const record* known = find_record(records.rows, p, o.n);

    const auto start = std::chrono::steady_clock::now();
    best_known b = searched(o, {&records.rows, read_dir, fresh, std::move(given)}, corpus);
    known_input shown = b.input;
    if (b.search.evaluations == 0) {  // proven at once: nothing to search
        b.search = {describe(p, b.input.bytes), b.input.cost,
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 1};
        corpus.offer(p, b.search);
    } else {
        char counts[160];
        std::snprintf(counts, sizeof counts, "%s inputs in %.1f s on %u thread%s, seed %llu; ",
                      count_text(b.search.evaluations).c_str(), b.search.seconds, o.threads, o.threads == 1 ? "" : "s",
                      static_cast<unsigned long long>(o.seed));
        shown.how = counts + shown.how;
    }
    b.input.exact = b.input.exact || (known && known->status == record_status::exact && known->cost == b.input.cost);
    shown.exact = b.input.exact;
    std::fputs(result_line(p, o.n, shown).c_str(), stdout);
    int status = 0;
    const std::string bytes(b.input.bytes.begin(), b.input.bytes.end());
    if (!out_path.empty() && !write_file_atomically(out_path, bytes, error)) status = fail(prog, error);
    if (!corpus.error.empty()) status = fail(prog, corpus.error);
    if (!known || b.input.cost > known->cost) {
        const std::string command = std::string("sortcost-search ") + p.name + " " + std::to_string(o.n) + " --time " +
                                    std::to_string(static_cast<long long>(o.seconds)) + " --threads " +
                                    std::to_string(o.threads) + " --seed " + std::to_string(o.seed) +
                                    (fresh ? " --fresh" : "") +
                                    (starts_dir.empty() ? "" : " --starts " + escaped_path(starts_dir));
        status = std::max(status, offer_record(p, o.n, b, command, known, records_dir, read_dir));
    }
    return finish_output(prog, status);
}
