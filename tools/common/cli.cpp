// SPDX-License-Identifier: MIT
#include "cli.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "program_model.h"
#include "sortcost/sortcost.h"
#include "tsv.h"

namespace {

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int usage_error(const char* prog, const std::string& reason) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", prog, reason.c_str(), prog);
    return exit_usage;
}

int fail(const char* prog, const std::string& what) {
    std::fprintf(stderr, "%s: %s\n", prog, what.c_str());
    return exit_failure;
}

bool parse_count(const std::string& s, std::uint64_t min, std::uint64_t max, std::uint64_t& out) {
    if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    std::uint64_t v = std::strtoull(s.c_str(), nullptr, 10);
    if (v < min || v > max) return false;
    out = v;
    return true;
}

namespace {

std::string range_error(const std::string& what, std::uint64_t min, std::uint64_t max, const std::string& s) {
    return what + " must be a whole number from " + std::to_string(min) + " to " + std::to_string(max) + ", not '" +
           s + "'";
}

}  // namespace

bool count_operand(const char* prog, const char* what, const std::string& s, std::uint64_t min, std::uint64_t max,
                   std::uint64_t& out) {
    if (parse_count(s, min, max, out)) return true;
    usage_error(prog, range_error(what, min, max, s));
    return false;
}

const sortcost::program_info* program_operand(const char* prog, const std::string& name) {
    if (const sortcost::program_info* p = sortcost::find_program(name.c_str())) return p;
    usage_error(prog, "no such program: '" + name + "' (" + sortcost::program_names("or") + ")");
    return nullptr;
}

int check_folder(const char* prog, const char* option, const std::string& path) {
    struct stat st;
    const int err = stat(path.c_str(), &st) != 0 ? errno : S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    return err ? fail(prog, std::string(option) + " " + escaped_path(path) + ": " + std::strerror(err)) : 0;
}

cli_args parse_cli(int argc, char** argv, const char* prog, const char* help, const std::vector<cli_option>& options) {
    cli_args out;
    auto stop = [&](int status) {
        out.handled = status;
        return out;
    };
    bool only_operands = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (only_operands || arg.size() < 2 || arg[0] != '-') {
            out.operands.push_back(arg);
            continue;
        }
        if (arg == "--") {
            only_operands = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            std::fputs(help, stdout);
            return stop(finish_output(prog, 0));
        }
        if (arg == "--version") {
            std::printf("%s %s\n", prog, sortcost_version());
            return stop(finish_output(prog, 0));
        }
        const bool is_long = arg[1] == '-';
        const std::string name = is_long ? arg.substr(0, arg.find('=')) : arg.substr(0, 2);
        const cli_option* found = nullptr;
        for (const cli_option& o : options)
            if (is_long ? name == o.name : o.short_name == arg[1]) found = &o;
        if (!found) return stop(usage_error(prog, "unknown option '" + name + "'"));
        const bool attached = is_long ? arg.find('=') != std::string::npos : arg.size() > 2;
        cli_value v{found->name, "", 0};
        if (found->kind == cli_option::flag) {
            if (attached) return stop(usage_error(prog, std::string("option '") + found->name + "' takes no value"));
        } else if (attached) {
            v.text = is_long ? arg.substr(arg.find('=') + 1) : arg.substr(2);
        } else if (i + 1 < argc) {
            v.text = argv[++i];
        } else {
            return stop(usage_error(prog, std::string("option '") + found->name + "' needs a value"));
        }
        if (found->kind == cli_option::count && !parse_count(v.text, found->min, found->max, v.count))
            return stop(usage_error(prog, range_error(found->name, found->min, found->max, v.text)));
        out.given.push_back(v);
    }
    return out;
}

bool cli_args::has(const char* name) const {
    for (const cli_value& v : given)
        if (std::strcmp(v.name, name) == 0) return true;
    return false;
}

std::string cli_args::text(const char* name, const std::string& fallback) const {
    std::string out = fallback;
    for (const cli_value& v : given)
        if (std::strcmp(v.name, name) == 0) out = v.text;
    return out;
}

std::uint64_t cli_args::count(const char* name, std::uint64_t fallback) const {
    std::uint64_t out = fallback;
    for (const cli_value& v : given)
        if (std::strcmp(v.name, name) == 0) out = v.count;
    return out;
}

std::vector<std::string> cli_args::all(const char* name) const {
    std::vector<std::string> out;
    for (const cli_value& v : given)
        if (std::strcmp(v.name, name) == 0) out.push_back(v.text);
    return out;
}

namespace {
int output_error = 0;  // why standard output first failed
}  // namespace

bool flush_output() {
    errno = 0;
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
    if (!output_error) output_error = errno ? errno : EIO;
    return false;
}

int finish_output(const char* prog, int status) {
    if (flush_output() && !output_error) return status;
    std::fprintf(stderr, "%s: standard output: %s\n", prog, std::strerror(output_error));
    return exit_failure;
}

std::string escaped_path(const std::string& path) { return tsv_escape(path); }

progress_line::progress_line() : enabled_(isatty(STDERR_FILENO) == 1), start_(now()) {}

void progress_line::show(const std::string& text) {
    if (!enabled_) return;
    double t = now();
    if (t - start_ < 1 || t - last_ < 0.2) return;
    std::fprintf(stderr, "\r\033[K%s", text.c_str());
    last_ = t;
    shown_ = true;
}

void progress_line::clear() {
    if (shown_) std::fputs("\r\033[K", stderr);
    shown_ = false;
}
