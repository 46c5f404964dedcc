// sortcost-score: the cost each benchmark program reports for every file of
// a corpus, computed in one process.
//
//   sortcost-score [--program NAME]... [--json] PATH...
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "corpus.h"
#include "rows.h"
#include "sortcost/costs.h"

namespace {

const char* const usage_text =
    "Usage: sortcost-score [--program NAME]... [--json] PATH...\n"
    "Prints the cost isort_words, qsort_words and qsort_bytes report for each\n"
    "file; a directory stands for every file below it, in sorted order.\n"
    "\n"
    "  --program NAME  only this program's column (isort_words, qsort_words or\n"
    "                  qsort_bytes); repeat for more, in the order given\n"
    "  --json          one JSON object per line instead of tab-separated values\n"
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

    void tick() {
        ++files;
        if (!enabled || (files & 63) != 0) return;
        double t = now();
        if (t - start < 1 || t - last < 0.25) return;
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

// Reads the file as the programs read their input and fills in its row, the
// costs of the programs in `columns` only. An empty file is readable: it has
// no bytes to sort, and every program reports what it reports for a read
// that ends at once.
score_row score(const std::string& path, const std::vector<program>& columns) {
    score_row row;
    row.path = path;
    unsigned char* data = nullptr;
    const char* step = nullptr;
    std::int64_t size = sortcost_read_input(path.c_str(), &data, &step);
    row.readable = size >= 0 || (std::strcmp(step, "fread") == 0 && errno == 0);
    if (size < 0) {
        if (!row.readable) row.error = std::string(step) + ": " + std::strerror(errno);
        for (auto& c : row.costs) c = sortcost_unreadable_cost;
        return row;
    }
    auto n = static_cast<std::size_t>(size);
    row.bytes = n;
    static constexpr std::uint64_t (*cost_of[])(const unsigned char*, std::size_t) = {
        isort_words_cost, qsort_words_cost, qsort_bytes_cost};  // indexed by program
    for (program p : columns) row.costs[static_cast<int>(p)] = cost_of[static_cast<int>(p)](data, n);
    std::free(data);
    return row;
}

}  // namespace

int main(int argc, char** argv) {
    row_format format;
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
            std::puts("sortcost-score " SORTCOST_VERSION);
            return 0;
        }
        if (arg == "--json") {
            format.json = true;
        } else if (arg == "--program" || arg.rfind("--program=", 0) == 0) {
            std::string name = arg == "--program" ? (i + 1 < argc ? argv[++i] : "") : arg.substr(10);
            program p;
            if (!program_named(name, p)) return usage_error("no such program: ", name.c_str());
            bool listed = false;
            for (program q : format.columns) listed = listed || q == p;
            if (!listed) format.columns.push_back(p);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usage_error("unknown option: ", arg.c_str());
        } else {
            first_path = i;
            break;
        }
    }
    if (first_path >= argc) return usage_error("no path to score", "");
    if (format.columns.empty()) format.columns = {program::isort_words, program::qsort_words, program::qsort_bytes};

    int status = 0;
    progress bar;
    print_header(stdout, format);
    for (int i = first_path; i < argc; ++i) {
        walk_corpus(
            argv[i],
            [&](const std::string& path) {
                score_row row = score(path, format.columns);
                if (!row.readable) {
                    bar.clear();
                    std::fprintf(stderr, "sortcost-score: %s: %s\n", path.c_str(), row.error.c_str());
                    status = 1;
                }
                print_row(stdout, format, row);
                bar.tick();
            },
            [&](const std::string& dir, int err) {
                bar.clear();
                std::fprintf(stderr, "sortcost-score: %s: %s\n", dir.c_str(), std::strerror(err));
                status = 1;
            });
    }
    bar.clear();
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "sortcost-score: standard output: %s\n", std::strerror(errno));
        return 1;
    }
    return status;
}
