// SPDX-License-Identifier: MIT
// sortcost-ceiling: the costliest inputs known for each benchmark.
//
//   sortcost-ceiling [--records DIR] write PROGRAM N FILE
//   sortcost-ceiling exhaustive N
//   sortcost-ceiling merge FILE...
//   sortcost-ceiling [--records DIR] growth [MAX_N]
//   sortcost-ceiling [--records DIR] record PROGRAM FILE METHOD
//
// Every cost printed is computed from the input's bytes with the in-process
// entry points, so it is the number the program prints for them.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli.h"
#include "costliest.h"
#include "exhaustive.h"
#include "best_known.h"
#include "growth.h"
#include "pool.h"
#include "record.h"
#include "records.h"
#include "results.h"
#include "safe_file.h"

namespace {

using sortcost::program_info;

const char* const prog = "sortcost-ceiling";

const std::string help =
    "Usage: sortcost-ceiling [--records DIR] [--time S] [--threads T] write PROGRAM N FILE\n"
    "       sortcost-ceiling [--records DIR] exhaustive [--part K/M] [--threads T] [--from M]\n"
    "                        [--program P]... [--no-pruning] N\n"
    "       sortcost-ceiling merge FILE...\n"
    "       sortcost-ceiling [--records DIR] growth [MAX_N]\n"
    "       sortcost-ceiling [--records DIR] [--proof TSV] record PROGRAM FILE METHOD\n"
    "The costliest inputs known for " + sortcost::program_names("and") + ".\n"
    "\n"
    "  write       write the costliest input known of N elements (1 to " + std::to_string(sortcost::max_input_elements) + ")\n"
    "              to FILE and print its cost, exact or best known, and how\n"
    "              it was found: the records (of N, or of other sizes grown, cut\n"
    "              or stretched to N) and constructions, then searched from for\n"
    "              S seconds (default 10) on T threads (default: every core)\n"
    "  exhaustive  prove the maximum cost of 1 (or --from M) to N elements (N up\n"
    "              to " + std::to_string(exhaustive_max_elements) + "), on T threads (default: every core); with --part K/M,\n"
    "              only part K of M, for machines that share the work; courses\n"
    "              of answers that cannot reach the costliest input known are cut\n"
    "              short (not with --no-pruning)\n"
    "  merge       the maxima of all the parts' outputs, each witness checked\n"
    "  growth      print how the costs grow with n, up to MAX_N (" + std::to_string(sortcost::max_input_elements) + ")\n"
    "  record      keep FILE as the record for its size if it costs more,\n"
    "              with METHOD saying how it was found\n"
    "\n"
    "  --proof TSV    for record: exhaustive's or merge's output, whose exact\n"
    "                 row for the input's size proves it (past " + std::to_string(record_proves_up_to) + " elements)\n"
    "  --records DIR  the records folder (default: your own, made from the\n"
    "                 installed records when `record` first needs it)\n"
    "  --help         print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Exit status: 0, 1 if a file could not be read or written, 2 for a bad\n"
    "command line.\n";

const char* const commands = " (write, exhaustive, merge, growth or record)";

bool load(const std::string& dir, records_file& f) {
    std::string error;
    if (load_records(dir, f, error)) return true;
    fail(prog, error);
    return false;
}

// The costliest input known, then searched from for `seconds` on `threads`
// threads unless it is proven the maximum.
int write_command(const program_info& program, std::size_t n, const std::string& path, const std::string& records_dir,
                  double seconds, unsigned threads) {
    records_file f;
    if (!load(records_dir, f)) return exit_failure;
    const std::vector<known_input> starts = gather_starts(program, n, {&f.rows, records_dir, false, {}});
    known_input c = proven_if_small(program, n, starts.front());
    search_options o;
    o.program = &program;
    o.n = n;
    o.seconds = c.exact ? 0 : seconds;
    o.threads = threads;
    const best_known b = search_from(o, starts, nullptr);
    if (b.input.cost > c.cost) {
        c = b.input;
        c.how += " for " + std::to_string(static_cast<long long>(seconds)) + " s (" + std::to_string(b.search.evaluations) +
                 " inputs on " + std::to_string(threads) + " thread" + (threads == 1 ? "" : "s") + ")";
    }
    std::string error;
    if (!write_file_atomically(path, std::string(c.bytes.begin(), c.bytes.end()), error)) return fail(prog, error);
    std::fputs(result_line(program, n, c).c_str(), stdout);
    return 0;
}

struct exhaustive_run {
    int from_n = 1, max_n = 0;
    std::vector<const program_info*> programs;
    unsigned part = 1, parts = 1, threads = 1;
    const records_file* records = nullptr;  // the floor's records; none without pruning
    std::string records_dir;
};

// Prints each maximum (or part's maximum) as it is proven; stops once
// standard output fails. With records, the search cuts off courses that
// cannot reach the cost of the costliest input known (records, grown from
// smaller ones and annealed): that input's own course survives, so the
// maximum is still found.
int exhaustive_command(const exhaustive_run& run) {
    progress_line progress;
    std::printf("%s", tsv_header(results_format).c_str());
    for (int n = run.from_n; n <= run.max_n; ++n) {
        for (const program_info* program : run.programs) {
            progress.show(std::string("exhaustive: ") + program->name + ", n = " + std::to_string(n) + " ...");
            const auto start = std::chrono::steady_clock::now();
            const std::uint64_t floor =
                run.records ? costliest(*program, static_cast<std::size_t>(n), run.records->rows, run.records_dir, 0).cost : 0;
            exact_maximum m;
            std::string error;
            const bool ok = exhaustive_maximum(*program, n, run.part, run.parts, run.threads, floor, m, error);
            progress.clear();
            if (!ok) return fail(prog, error);
            result_row r{program, n, m.cost, run.part, run.parts, m.runs,
                         std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), m.witness};
            std::printf("%s", result_line(r).c_str());
            if (!flush_output()) return 0;
        }
    }
    return 0;
}

// exhaustive's options and operand, checked.
int exhaustive_options(const cli_args& args, const std::vector<std::string>& a, exhaustive_run& run, records_file& f) {
    std::uint64_t n = 0;
    if (a.size() != 2) return usage_error(prog, "exhaustive takes N");
    if (!count_operand(prog, "N", a[1], 1, exhaustive_max_elements, n)) return exit_usage;
    run.max_n = static_cast<int>(n);
    run.from_n = static_cast<int>(args.count("--from", 1));
    run.threads = static_cast<unsigned>(args.count("--threads", available_cores()));
    if (args.has("--part")) {
        const std::string v = args.text("--part");
        if (std::sscanf(v.c_str(), "%u/%u", &run.part, &run.parts) != 2 || run.part < 1 || run.part > run.parts ||
            run.parts > 1000000 || v != std::to_string(run.part) + "/" + std::to_string(run.parts))
            return usage_error(prog, "--part must be K/N with 1 <= K <= N, not '" + v + "'");
    }
    for (const std::string& name : args.all("--program")) {
        const program_info* p = program_operand(prog, name);
        if (!p) return exit_usage;
        run.programs.push_back(p);
    }
    if (run.programs.empty())
        for (const program_info& p : sortcost::programs) run.programs.push_back(&p);
    if (args.has("--no-pruning")) return -1;
    // Records only raise the floor: without the default folder, the floor
    // comes from the constructions alone.
    std::string ignored;
    if (run.records_dir.empty()) {
        run.records_dir = default_records_dir();
        if (!load_records(run.records_dir, f, ignored)) f = records_file{};
    } else if (!load(run.records_dir, f)) {
        return exit_failure;
    }
    run.records = &f;
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    // A file-size limit is a write that fails, reported, not a signal.
    std::signal(SIGXFSZ, SIG_IGN);
    const cli_args args = parse_cli(argc, argv, prog, help.c_str(),
                                    {{"--records", 0, cli_option::text},
                                     {"--time", 0, cli_option::count, 0, 1000000},
                                     {"--part", 0, cli_option::text},
                                     {"--threads", 0, cli_option::count, 1, max_workers},
                                     {"--from", 0, cli_option::count, 1, exhaustive_max_elements},
                                     {"--program", 0, cli_option::text},
                                     {"--proof", 0, cli_option::text},
                                     {"--no-pruning", 0, cli_option::flag}});
    if (args.handled >= 0) return args.handled;
    std::string records_dir = args.text("--records");
    if (!records_dir.empty() && check_folder(prog, "--records", records_dir) != 0) return exit_failure;
    const std::vector<std::string>& a = args.operands;
    if (a.empty()) return usage_error(prog, std::string("no command") + commands);
    const std::string& command = a[0];
    std::uint64_t n = 0;
    int status = 0;
    if (command == "write") {
        if (a.size() != 4) return usage_error(prog, "write takes PROGRAM N FILE");
        const program_info* p = program_operand(prog, a[1]);
        if (!p || !count_operand(prog, "N", a[2], 1, sortcost::max_input_elements, n)) return exit_usage;
        status = write_command(*p, static_cast<std::size_t>(n), a[3], records_dir.empty() ? default_records_dir() : records_dir,
                               static_cast<double>(args.count("--time", 10)),
                               static_cast<unsigned>(args.count("--threads", available_cores())));
    } else if (command == "exhaustive") {
        exhaustive_run run;
        run.records_dir = records_dir;
        records_file f;
        status = exhaustive_options(args, a, run, f);
        if (status >= 0) return status;
        status = exhaustive_command(run);
    } else if (command == "merge") {
        if (a.size() < 2) return usage_error(prog, "merge takes the FILEs that exhaustive --part wrote");
        status = merge_results(prog, std::vector<std::string>(a.begin() + 1, a.end()));
    } else if (command == "growth") {
        if (a.size() > 2) return usage_error(prog, "growth takes at most MAX_N");
        n = sortcost::max_input_elements;
        if (a.size() == 2 && !count_operand(prog, "MAX_N", a[1], 1, sortcost::max_input_elements, n)) return exit_usage;
        if (records_dir.empty()) records_dir = default_records_dir();
        records_file f;
        if (!load(records_dir, f)) return exit_failure;
        print_growth(static_cast<std::size_t>(n), f.rows, records_dir);
    } else if (command == "record") {
        if (a.size() != 4) return usage_error(prog, "record takes PROGRAM FILE METHOD");
        const program_info* p = program_operand(prog, a[1]);
        if (!p) return exit_usage;
        if (a[3].empty()) return usage_error(prog, "METHOD must say how the input was found");
        std::string error;
        if (records_dir.empty() && !writable_records_dir(records_dir, error)) return fail(prog, error);
        status = record_command(prog, *p, a[2], a[3], records_dir, args.text("--proof"));
    } else {
        return usage_error(prog, "no such command: '" + command + "'" + commands);
    }
    return finish_output(prog, status);
}
