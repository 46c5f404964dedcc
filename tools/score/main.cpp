// SPDX-License-Identifier: MIT
// sortcost-score: the cost each benchmark program reports for every file of
// a corpus, computed in one process.
//
//   sortcost-score [--program NAME]... [--json] [--hidden] [-j N] PATH...
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "cli.h"
#include "corpus.h"
#include "processes.h"
#include "rows.h"
#include "scoring.h"
#include "sortcost/costs.h"

namespace {

const char* const prog = "sortcost-score";

// More workers than this would only hold more files in memory at once.
constexpr std::uint64_t max_jobs = 1024;

const char* const help =
    "Usage: sortcost-score [--program NAME]... [--json] [--hidden] [-j N] PATH...\n"
    "Prints the cost isort_words, qsort_words and qsort_bytes report for each\n"
    "file; a directory stands for every file below it, in sorted order.\n"
    "\n"
    "  --program NAME  only this program's column (isort_words, qsort_words or\n"
    "                  qsort_bytes); repeat for more, in the order given\n"
    "  --json          one JSON object per line instead of tab-separated values\n"
    "  --hidden        also score names beginning with '.' inside directories\n"
    "  -j, --jobs N    score on N processes, 1 to 1024 (default: the cores\n"
    "                  available); the output is the same for every N\n"
    "  --help          print this help and exit\n"
    "  --version       print the version and exit\n"
    "\n"
    "Exit status: 0, 1 if a file or directory could not be read or standard\n"
    "output could not be written, 2 for a bad command line.\n";

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit on the output is a write that fails
    int handled;
    cli_args args = parse_cli(argc, argv, prog, help,
                              {{"--program", 0, true}, {"--json", 0, false}, {"--hidden", 0, false}, {"--jobs", 'j', true}},
                              handled);
    if (handled >= 0) return handled;
    row_format format;
    bool hidden = false;
    unsigned jobs = available_cores();
    for (const auto& [name, value] : args.options) {
        if (name == "--json") {
            format.json = true;
        } else if (name == "--hidden") {
            hidden = true;
        } else if (name == "--jobs") {
            std::uint64_t n;
            if (!parse_count(value, 1, max_jobs, n))
                return usage_error(prog, "--jobs must be a whole number from 1 to 1024, not '" + value + "'");
            jobs = static_cast<unsigned>(n);
        } else {
            const sortcost::program_info* p = sortcost::find_program(value.c_str());
            if (!p) return usage_error(prog, "no such program: '" + value + "' (isort_words, qsort_words or qsort_bytes)");
            auto index = static_cast<std::size_t>(p - sortcost::programs);
            bool listed = false;
            for (std::size_t q : format.columns) listed = listed || q == index;
            if (!listed) format.columns.push_back(index);
        }
    }
    if (args.operands.empty()) return usage_error(prog, "no path to score");
    if (format.columns.empty())
        for (std::size_t p = 0; p < sortcost::program_count; ++p) format.columns.push_back(p);

    int status = 0;
    progress_line bar;
    std::size_t done = 0;
    // Rows are gathered and written in large pieces. A terminal sees each
    // row as soon as it is scored.
    const bool piecemeal = isatty(STDOUT_FILENO) == 1;
    std::string header;
    format_header(header, format);
    std::fwrite(header.data(), 1, header.size(), stdout);
    const std::vector<corpus_entry> entries = list_corpus(args.operands, hidden);
    auto render = [&](std::size_t i, rendered& t) {
        const corpus_entry& e = entries[i];
        if (e.unlisted) {
            t.err += "sortcost-score: " + escaped_path(e.path) + ": " + std::strerror(e.unlisted) + "\n";
            ++t.failures;
            return;
        }
        score_row row = score_file(e.path, format.columns);
        if (row.failed_step) {
            t.err += "sortcost-score: " + escaped_path(e.path) + ": " + read_error(row) + "\n";
            ++t.failures;
        }
        format_row(t.out, format, row);
    };
    render_in_processes(entries.size(), jobs, render, [&](const rendered& t) {
        if (!t.err.empty()) {
            bar.clear();
            std::fputs(t.err.c_str(), stderr);
        }
        if (t.failures) status = 1;
        std::fwrite(t.out.data(), 1, t.out.size(), stdout);
        if (piecemeal) std::fflush(stdout);
        done += t.entries;
        bar.show(std::to_string(done) + " of " + std::to_string(entries.size()) + " files");
    });
    bar.clear();
    return finish_output(prog, status);
}
