// SPDX-License-Identifier: MIT
// sortcost-score: the cost each benchmark program reports for every file of
// a corpus, computed in one process.
//
//   sortcost-score [--program NAME]... [--json] [-j N] PATH...
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "corpus.h"
#include "processes.h"
#include "rows.h"
#include "scoring.h"
#include "sortcost/costs.h"

namespace {

// More threads than this would only hold more files in memory at once.
constexpr unsigned long max_jobs = 1024;

const char* const usage_text =
    "Usage: sortcost-score [--program NAME]... [--json] [-j N] PATH...\n"
    "Prints the cost isort_words, qsort_words and qsort_bytes report for each\n"
    "file; a directory stands for every file below it, in sorted order.\n"
    "\n"
    "  --program NAME  only this program's column (isort_words, qsort_words or\n"
    "                  qsort_bytes); repeat for more, in the order given\n"
    "  --json          one JSON object per line instead of tab-separated values\n"
    "  -j, --jobs N    score N files at a time (default: the cores available);\n"
    "                  the output is the same for every N\n"
    "  --help          print this help and exit\n"
    "  --version       print the version and exit\n"
    "\n"
    "Exit status: 0, or 1 if a file or directory could not be read, or 2 for a\n"
    "bad command line.\n";

int usage_error(const char* what, const char* arg) {
    std::fprintf(stderr, "sortcost-score: %s%s\n%s", what, arg, usage_text);
    return 2;
}

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// A one-line count of files done on a terminal's standard error, for runs
// long enough to want one; never when standard error is not a terminal.
struct progress {
    bool enabled = isatty(STDERR_FILENO) == 1;
    double start = now();
    double last = 0;
    bool shown = false;
    std::uint64_t files = 0;

    // Counts `n` more files done; shows the count after the first second,
    // at most five times a second.
    void tick(std::size_t n) {
        files += n;
        if (!enabled) return;
        double t = now();
        if (t - start < 1 || t - last < 0.2) return;
        std::fprintf(stderr, "\r\033[K%llu files, %.0f files/s", static_cast<unsigned long long>(files),
                     static_cast<double>(files) / (t - start));
        last = t;
        shown = true;
    }
    // Clears the line, before a diagnostic or at the end.
    void clear() {
        if (shown) std::fputs("\r\033[K", stderr);
        shown = false;
    }
};

}  // namespace

int main(int argc, char** argv) {
    row_format format;
    unsigned jobs = available_cores();
    int first_path = argc;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--") {
            first_path = i + 1;
            break;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(usage_text, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("sortcost-score %s\n", sortcost_version());
            return 0;
        }
        if (arg == "--json") {
            format.json = true;
        } else if (arg == "-j" || arg == "--jobs" || arg.rfind("--jobs=", 0) == 0 || arg.rfind("-j", 0) == 0) {
            // -j N, -jN, --jobs N or --jobs=N.
            std::string n = arg == "-j" || arg == "--jobs" ? (i + 1 < argc ? argv[++i] : "")
                            : arg[1] == 'j'                ? arg.substr(2)
                                                           : arg.substr(7);
            char* end = nullptr;
            unsigned long v = std::strtoul(n.c_str(), &end, 10);
            if (n.empty() || n[0] < '0' || n[0] > '9' || *end || v < 1 || v > max_jobs)
                return usage_error("jobs must be a whole number from 1 to 1024: ", n.c_str());
            jobs = static_cast<unsigned>(v);
        } else if (arg == "--program" || arg.rfind("--program=", 0) == 0) {
            std::string name = arg == "--program" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(10);
            const sortcost::program_info* p = sortcost::find_program(name.c_str());
            if (!p) return usage_error("no such program: ", name.c_str());
            auto index = static_cast<std::size_t>(p - sortcost::programs);
            bool listed = false;
            for (std::size_t q : format.columns) listed = listed || q == index;
            if (!listed) format.columns.push_back(index);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option: ", arg.c_str());
        } else {
            first_path = i;
            break;
        }
    }
    if (first_path >= argc) return usage_error("no path to score", "");
    if (format.columns.empty())
        for (std::size_t p = 0; p < sortcost::program_count; ++p) format.columns.push_back(p);

    int status = 0;
    progress bar;
    // Rows are gathered and written in large pieces. A terminal sees each
    // row as soon as it is scored.
    const bool piecemeal = isatty(STDOUT_FILENO) == 1;
    std::string header;
    format_header(header, format);
    std::fwrite(header.data(), 1, header.size(), stdout);
    std::vector<std::string> roots(argv + first_path, argv + argc);
    const std::vector<corpus_entry> entries = list_corpus(roots);
    auto render = [&](std::size_t i, rendered& t) {
        const corpus_entry& e = entries[i];
        if (e.unlisted) {
            t.err += "sortcost-score: " + e.path + ": " + std::strerror(e.unlisted) + "\n";
            ++t.failures;
            return;
        }
        score_row row = score_file(e.path, format.columns);
        if (row.failed_step) {
            t.err += "sortcost-score: " + e.path + ": " + read_error(row) + "\n";
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
        bar.tick(t.entries);
    });
    bar.clear();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "sortcost-score: standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return status;
}
