// SPDX-License-Identifier: MIT
#include "program_runner.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

scratch_dir::scratch_dir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "sortcost-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path = tmpl;
}

scratch_dir::~scratch_dir() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
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

bool kernel_always_overcommits() { return slurp("/proc/sys/vm/overcommit_memory").rfind("1", 0) == 0; }

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
        if (opts.time_limit_seconds) alarm(opts.time_limit_seconds);  // survives the exec
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    int wstatus = 0;
    while (waitpid(pid, &wstatus, 0) < 0) {
        if (errno != EINTR) throw std::runtime_error("waitpid failed");
    }
    program_result r;
    r.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    r.out = slurp(out_path);
    r.err = without_sanitizer_notes(slurp(err_path));
    return r;
}
