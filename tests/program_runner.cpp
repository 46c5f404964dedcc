// SPDX-License-Identifier: MIT
#include "program_runner.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

std::string file_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::vector<std::string>> tsv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream f(line);
        for (std::string field; std::getline(f, field, '\t');) fields.push_back(field);
        rows.push_back(fields);
    }
    return rows;
}

scratch_dir::scratch_dir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "sortcost-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path = tmpl;
}

namespace {

// Removes everything in the open folder `fd` (and closes it), by names
// relative to each folder: a tree deeper than the longest path goes too.
void remove_contents(int fd) {
    DIR* d = fdopendir(fd);
    if (!d) {
        close(fd);
        return;
    }
    std::vector<std::string> names;
    while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    for (const std::string& name : names) {
        const int child = openat(dirfd(d), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
        if (child >= 0) {
            remove_contents(child);
            unlinkat(dirfd(d), name.c_str(), AT_REMOVEDIR);
        } else {
            unlinkat(dirfd(d), name.c_str(), 0);
        }
    }
    closedir(d);
}

}  // namespace

scratch_dir::~scratch_dir() {
    const int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) remove_contents(fd);
    rmdir(path.c_str());
}

std::string scratch_dir::too_deep(const std::string& name) const {
    std::string deepest = path + "/" + name;
    int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY);
    std::string step = name;
    while (fd >= 0 && deepest.size() <= PATH_MAX) {
        mkdirat(fd, step.c_str(), 0700);
        const int next = openat(fd, step.c_str(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
        step = std::string(200, 'd');
        deepest += "/" + step;
    }
    if (fd >= 0) {
        mkdirat(fd, step.c_str(), 0700);
        close(fd);
    }
    return deepest;
}

std::string scratch_dir::write(const std::string& name, const std::string& bytes) const {
    std::string file = path + "/" + name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

std::string without_sanitizer_notes(const std::string& err) {
    std::istringstream in(err);
    std::string kept;
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("==", 0) == 0 && line.find("WARNING: AddressSanitizer failed to allocate") != std::string::npos) continue;
        kept += line + "\n";
    }
    if (!err.empty() && err.back() != '\n' && !kept.empty()) kept.pop_back();
    return kept;
}

bool kernel_always_overcommits() { return file_text("/proc/sys/vm/overcommit_memory").rfind("1", 0) == 0; }

std::string words_bytes(const std::vector<std::uint32_t>& words) {
    std::string s;
    for (std::uint32_t w : words)
        for (int b = 0; b < 32; b += 8) s += static_cast<char>(w >> b);
    return s;
}

program_result run_program(const std::string& exe, const std::vector<std::string>& args, run_options opts) {
    scratch_dir capture;
    std::string out_path = capture.path + "/stdout";
    std::string err_path = capture.path + "/stderr";

    std::vector<std::string> argv_storage{exe};
    argv_storage.insert(argv_storage.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : argv_storage) argv.push_back(a.data());
    argv.push_back(nullptr);

    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        int in = open("/dev/null", O_RDONLY);
        int out = opts.out == stdout_to::dev_full ? open("/dev/full", O_WRONLY)
                                                  : open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        if (opts.out == stdout_to::closed) close(1);
        if (opts.address_space_limit) {
            rlimit lim{opts.address_space_limit, opts.address_space_limit};
            if (setrlimit(RLIMIT_AS, &lim) != 0) _exit(127);
        }
        if (opts.file_size_limit) {
            rlimit lim{opts.file_size_limit, opts.file_size_limit};
            if (setrlimit(RLIMIT_FSIZE, &lim) != 0) _exit(127);
        }
        if (opts.time_limit_seconds) alarm(opts.time_limit_seconds);  // survives the exec
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    if (opts.meanwhile) opts.meanwhile(pid);
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    program_result r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.out = file_text(out_path);
    r.err = without_sanitizer_notes(file_text(err_path));
    return r;
}

namespace {
// `s` with each "@" replaced by `dir`.
std::string at(std::string s, const std::string& dir) {
    for (std::size_t p = 0; (p = s.find('@', p)) != std::string::npos; p += dir.size()) s.replace(p, 1, dir);
    return s;
}

}  // namespace

void check_rows(const char* exe, const std::vector<cli_row>& rows, const scratch_dir& dir) {
    for (const cli_row& row : rows) {
        std::vector<std::string> args;
        for (const auto& a : row.args) args.push_back(at(a, dir.path));
        auto r = run_program(exe, args, {.time_limit_seconds = 60});
        std::string label = ::testing::PrintToString(args);
        EXPECT_EQ(r.status, row.status) << label << "\n" << r.err;
        std::string out = at(row.out, dir.path);
        if (out.size() >= 3 && out.compare(out.size() - 3, 3, "...") == 0)
            EXPECT_EQ(r.out.substr(0, out.size() - 3), out.substr(0, out.size() - 3)) << label;
        else
            EXPECT_EQ(r.out, out) << label;
        EXPECT_EQ(r.err, at(row.err, dir.path)) << label;
    }
}

