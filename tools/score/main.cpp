// SPDX-License-Identifier: MIT
// sortcost-score: the cost each benchmark program reports for every file of
// a corpus, computed in process.
//
//   sortcost-score [--program NAME]... [--json] [--hidden] [-j N] PATH...
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli.h"
#include "corpus.h"
#include "rows.h"
#include "scoring.h"
#include "pool.h"
#include "program_model.h"
#include "sortcost/costs.h"

namespace {

const char* const prog = "sortcost-score";

const std::string help =
    "Usage: sortcost-score [--program NAME]... [--json] [--hidden] [-j N] PATH...\n"
    "Prints the cost " + sortcost::program_names("and") + " report for each\n"
    "file; a directory stands for every file below it, in sorted order.\n"
    "\n"
    "  --program NAME  only this program's column (" + sortcost::program_names("or") + ";\n"
    "                  repeat for more, in the order given)\n"
    "  --json          one JSON object per line instead of tab-separated values\n"
    "  --hidden        also score names beginning with '.' inside directories\n"
    "  -j, --jobs N    score on N worker processes, 1 to " + std::to_string(max_workers) + " (default: the cores\n"
    "                  available); the output is the same for every N\n"
    "  --help          print this help and exit\n"
    "  --version       print the version and exit\n"
    "\n"
    "Exit status: 0, 1 if a file or directory could not be read or standard\n"
    "output could not be written, 2 for a bad command line.\n";

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit on the output is a write that fails
    const cli_args args = parse_cli(argc, argv, prog, help.c_str(),
                                    {{"--program", 0, cli_option::text},
                                     {"--json", 0, cli_option::flag},
                                     {"--hidden", 0, cli_option::flag},
                                     {"--jobs", 'j', cli_option::count, 1, max_workers}});
    if (args.handled >= 0) return args.handled;
    row_format format;
    format.json = args.has("--json");
    for (const std::string& name : args.all("--program")) {
        const sortcost::program_info* p = program_operand(prog, name);
        if (!p) return exit_usage;
        bool listed = false;
        for (std::size_t q : format.columns) listed = listed || q == sortcost::program_index(*p);
        if (!listed) format.columns.push_back(sortcost::program_index(*p));
    }
    if (args.operands.empty()) return usage_error(prog, "no path to score");
    if (format.columns.empty())
        for (std::size_t p = 0; p < sortcost::program_count; ++p) format.columns.push_back(p);

    int status = 0;
    progress_line bar;
    std::size_t done = 0;
    // A terminal sees each row as soon as it is scored; else rows are
    // written in large pieces.
    const bool piecemeal = isatty(STDOUT_FILENO) == 1;
    std::string out;
    format_header(out, format);
    const std::vector<corpus_entry> entries = list_corpus(args.operands, args.has("--hidden"));
    score_corpus(entries, format.columns, static_cast<unsigned>(args.count("--jobs", available_cores())),
                 worker_kind::processes, [&](const corpus_entry& e, const score_row* row) {
                     const std::string why = !row ? std::strerror(e.unlisted)
                                             : row->failed_step.empty() ? ""
                                                                        : read_error(*row);
                     if (!why.empty()) {
                         bar.clear();
                         std::fprintf(stderr, "%s: %s: %s\n", prog, escaped_path(e.path).c_str(), why.c_str());
                         status = exit_failure;
                     }
                     if (row) format_row(out, format, *row);
                     if (piecemeal || out.size() >= 65536) {
                         std::fwrite(out.data(), 1, out.size(), stdout);
                         if (piecemeal) std::fflush(stdout);
                         out.clear();
                     }
                     bar.show(std::to_string(++done) + " of " + std::to_string(entries.size()) + " files");
                 });
    std::fwrite(out.data(), 1, out.size(), stdout);
    bar.clear();
    return finish_output(prog, status);
}
