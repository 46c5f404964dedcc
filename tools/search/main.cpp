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
#include "cli.h"
#include "pool.h"
#include "records.h"
#include "safe_file.h"
#include "starts.h"
#include "sortcost/program_model.h"

namespace {

using namespace sortcost;

const char* const prog = "sortcost-search";

const std::string help = "Usage: sortcost-search [OPTION]... PROGRAM N\n"
                         "Searches for the costliest input of N elements (1 to " +
                         std::to_string(max_input_elements) +
                         ") for PROGRAM\n"
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

// The closed form's input, where the program has one.
search_result solved(const program_info& p, const closed_form& max) {
    search_result r;
    r.best = describe(p, encode(p, max.values));
    r.cost = max.cost;
    r.evaluations = 1;
    return r;
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

// `from` gets how the costliest start was made, and its cost.
search_result annealed(search_options& o, const record* known, const records_file& records, const std::string& dir,
                       bool fresh, std::vector<known_input> starts, corpus_writer& corpus, std::string& from) {
    const program_info& p = *o.program;
    // The given starts alone, or: the record, unless --fresh, and the
    // records of other sizes made to n; then what a rule builds (McIlroy's
    // adversary's input; for words, runs of two words 2^31 apart); then
    // random inputs.
    const bool given = !starts.empty();
    if (!given || fresh)
        for (known_input& k : constructions(p, o.n)) starts.push_back(std::move(k));
    if (!fresh && !given) {
        for (known_input& k : from_other_sizes(p, o.n, records.rows, dir)) starts.push_back(std::move(k));
        if (known) starts.push_back({record_bytes(dir, *known), known->cost, false, "the record"});
    }
    // The costliest first: with one thread, that is where the walk begins.
    std::stable_sort(starts.begin(), starts.end(), [](const known_input& a, const known_input& b) { return a.cost > b.cost; });
    for (const known_input& k : starts) o.starts.push_back(describe(p, k.bytes));
    // Given starts, every thread begins at one of them, never at random.
    for (std::size_t k = 0; given && o.starts.size() < o.threads; ++k) o.starts.push_back(o.starts[k]);
    if (!starts.empty()) from = starts.front().how + " (cost " + std::to_string(starts.front().cost) + ")";
    progress_line line;
    search_result r = anneal(o, [&](const search_result& now) {
        corpus.offer(p, now);
        line.show("best " + count_text(now.cost) + " after " + std::to_string(static_cast<int>(now.seconds)) + " s, " +
                  count_text(static_cast<std::uint64_t>(static_cast<double>(now.evaluations) / std::max(now.seconds, 1e-3))) +
                  " inputs/s");
    });
    line.clear();
    corpus.offer(p, r);
    return r;
}

// The inputs of --starts DIR; false, the reason printed, if they cannot be had.
bool read_starts(const program_info& p, std::size_t n, const std::string& dir, std::vector<known_input>& out) {
    std::string error;
    if (check_folder(prog, "--starts", dir) != 0) return false;
    if (inputs_in_folder(p, n, dir, out, error)) return true;
    fail(prog, error);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);
    const cli_args args = parse_cli(argc, argv, prog, help.c_str(),
                                    {{"--time", 0, cli_option::count, 0, 1000000},
                                     {"--target", 0, cli_option::count, 1, UINT64_MAX / 2},
                                     {"--evaluations", 0, cli_option::count, 1, UINT64_MAX / 2},
                                     {"--threads", 0, cli_option::count, 1, 1024},
                                     {"--seed", 0, cli_option::count, 0, UINT64_MAX / 2},
                                     {"--out", 0, cli_option::text},
                                     {"--records", 0, cli_option::text},
                                     {"--corpus", 0, cli_option::text},
                                     {"--fresh", 0, cli_option::flag},
                                     {"--starts", 0, cli_option::text}});
    if (args.handled >= 0) return args.handled;
    search_options o;
    o.seconds = static_cast<double>(args.count("--time", 10));
    o.target = args.count("--target", 0);
    o.evaluations = args.count("--evaluations", 0);
    o.threads = static_cast<unsigned>(args.count("--threads", available_cores()));
    o.seed = args.count("--seed", 1);
    const std::string out_path = args.text("--out"), records_dir = args.text("--records");
    corpus_writer corpus{args.text("--corpus"), 0, ""};
    const bool fresh = args.has("--fresh");
    const std::vector<std::string>& a = args.operands;
    if (a.size() != 2) return usage_error(prog, "give PROGRAM and N");
    o.program = program_operand(prog, a[0]);
    std::uint64_t n = 0;
    if (!o.program || !count_operand(prog, "N", a[1], 1, max_input_elements, n)) return exit_usage;
    o.n = static_cast<std::size_t>(n);
    if (o.seconds == 0 && !o.target && !o.evaluations)
        return usage_error(prog, "with --time 0, give --target or --evaluations, or it never stops");
    if (!records_dir.empty() && check_folder(prog, "--records", records_dir) != 0) return exit_failure;
    if (!corpus.dir.empty() && check_folder(prog, "--corpus", corpus.dir) != 0) return exit_failure;
    const program_info& p = *o.program;
    const std::string starts_dir = args.text("--starts");
    std::vector<known_input> given;
    if (!starts_dir.empty() && !read_starts(p, o.n, starts_dir, given)) return exit_failure;
    std::string error;

    // The record for N, if there is one, is where the first thread starts.
    records_file records;
    const std::string read_dir = records_dir.empty() ? default_records_dir() : records_dir;
    if (!load_records(read_dir, records, error)) return fail(prog, error);
    const record* known = find_record(records.rows, p, o.n);

    closed_form max;
    std::string from;
    const bool closed = closed_form_maximum(p, o.n, max);
    const auto start = std::chrono::steady_clock::now();
    search_result best = closed ? solved(p, max) : annealed(o, known, records, read_dir, fresh, std::move(given), corpus, from);
    if (closed) {
        best.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        corpus.offer(p, best);
    }

    const std::vector<unsigned char> bytes = realise(p, best.best);
    const bool exact = closed || (known && known->status == "exact" && known->cost == best.cost);
    std::printf("%s n=%zu cost=%llu %s (%s inputs in %.1f s on %u thread%s, seed %llu)\n", p.name, o.n,
                static_cast<unsigned long long>(best.cost), exact ? "exact maximum" : "best known",
                count_text(best.evaluations).c_str(), best.seconds, o.threads, o.threads == 1 ? "" : "s",
                static_cast<unsigned long long>(o.seed));
    int status = 0;
    if (!out_path.empty() && !write_file_atomically(out_path, std::string(bytes.begin(), bytes.end()), error))
        status = fail(prog, error);
    if (!corpus.error.empty()) status = fail(prog, corpus.error);
    const bool beats = !known || best.cost > known->cost;
    if (beats && records_dir.empty()) {
        const std::string what = known ? "beats the record of " + std::to_string(known->cost) : "has no record to beat";
        std::printf("%s n=%zu cost=%llu %s in %s; keep it with --records DIR\n", p.name, o.n,
                    static_cast<unsigned long long>(best.cost), what.c_str(), escaped_path(read_dir).c_str());
    } else if (beats) {
        // How to find it again: the command, and where it started.
        std::string method = std::string("sortcost-search ") + p.name + " " + std::to_string(o.n) + " --time " +
                             std::to_string(static_cast<long long>(o.seconds)) + " --threads " +
                             std::to_string(o.threads) + " --seed " + std::to_string(o.seed) +
                             (fresh ? " --fresh" : "") + (starts_dir.empty() ? "" : " --starts " + escaped_path(starts_dir)) + ": " + count_text(best.evaluations) + " inputs in " +
                             std::to_string(static_cast<long long>(best.seconds + 0.5)) + " s";
        if (known && !fresh && starts_dir.empty())
            method += ", from the record then held (cost " + std::to_string(known->cost) + ")";
        else if (!from.empty())
            method += ", from " + from;
        std::string message;
        bool kept = false;
        if (store_record(
                p, bytes, best.cost, method, records_dir,
                [&](bool& is_exact, std::string&) {
                    is_exact = closed;
                    return true;
                },
                message, &kept) != 0)
            status = fail(prog, message);
        else
            std::printf("%s%s\n", kept ? "kept as the record: " : "", message.c_str());
    }
    return finish_output(prog, status);
}
