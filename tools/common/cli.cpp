// SPDX-License-Identifier: MIT
#include "cli.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "sortcost/sortcost.h"

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

cli_args parse_cli(int argc, char** argv, const char* prog, const char* help, const std::vector<cli_option>& options,
                   int& handled) {
    cli_args out;
    handled = -1;
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
            handled = finish_output(prog, 0);
            return out;
        }
        if (arg == "--version") {
            std::printf("%s %s\n", prog, sortcost_version());
            handled = finish_output(prog, 0);
            return out;
        }
        // --name, --name=value, --name value; -x, -xVALUE, -x VALUE.
        const bool is_long = arg[1] == '-';
        const std::string name = is_long ? arg.substr(0, arg.find('=')) : arg.substr(0, 2);
        const cli_option* found = nullptr;
        for (const cli_option& o : options)
            if (is_long ? name == o.name : o.short_name == arg[1]) found = &o;
        if (!found) {
            handled = usage_error(prog, "unknown option '" + (is_long ? name : arg.substr(0, 2)) + "'");
            return out;
        }
        std::string value;
        const bool attached = is_long ? arg.find('=') != std::string::npos : arg.size() > 2;
        if (found->takes_value) {
            if (attached)
                value = is_long ? arg.substr(arg.find('=') + 1) : arg.substr(2);
            else if (i + 1 < argc)
                value = argv[++i];
            else {
                handled = usage_error(prog, std::string("option '") + found->name + "' needs a value");
                return out;
            }
        } else if (attached) {
            handled = usage_error(prog, std::string("option '") + found->name + "' takes no value");
            return out;
        }
        out.options.emplace_back(found->name, value);
    }
    return out;
}

bool parse_count(const std::string& s, std::uint64_t min, std::uint64_t max, std::uint64_t& out) {
    if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    std::uint64_t v = std::strtoull(s.c_str(), nullptr, 10);
    if (v < min || v > max) return false;
    out = v;
    return true;
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

std::string escaped_path(const std::string& path) {
    std::string out;
    for (char c : path) {
        if (c == '\\') out += "\\\\";
        else if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

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
