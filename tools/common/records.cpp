// SPDX-License-Identifier: MIT
#include "records.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "cli.h"
#include "safe_file.h"
#include "sortcost/costs.h"

namespace {

const char* const header = "program\telements\tbytes\tcost\tstatus\tmethod\tfile";

bool whole_number(const std::string& s, std::uint64_t& out) {
    if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::strtoull(s.c_str(), nullptr, 10);
    return true;
}

// The reason `line` is no row, or empty when it is one (then in `r`).
std::string parse_row(const std::string& line, record& r) {
    std::vector<std::string> f;
    std::istringstream in(line);
    for (std::string field; std::getline(in, field, '\t');) f.push_back(field);
    if (f.size() != 7) return "a row has 7 tab-separated fields, this has " + std::to_string(f.size());
    const sortcost::program_info* p = sortcost::find_program(f[0].c_str());
    if (!p) return "no such program: " + f[0];
    r.program = f[0];
    if (!whole_number(f[1], r.elements) || !whole_number(f[2], r.bytes) || !whole_number(f[3], r.cost))
        return "elements, bytes and cost must be whole numbers";
    if (r.bytes != r.elements * p->element_size) return "bytes is not elements times the element size";
    if (f[4] != "exact" && f[4] != "best-known") return "status must be exact or best-known";
    if (f[5].empty()) return "the method is empty";
    if (f[6].empty() || f[6][0] == '/' || f[6].find("..") != std::string::npos)
        return "the file must be a path inside the records folder";
    r.status = f[4];
    r.method = f[5];
    r.file = f[6];
    return "";
}

std::size_t program_rank(const std::string& name) {
    return static_cast<std::size_t>(sortcost::find_program(name.c_str()) - sortcost::programs);
}

bool is_directory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The installed records beside this program, or empty in a build tree.
std::string installed_records() {
    char exe[4096];
    ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (len <= 0) return "";
    std::string bin(exe, static_cast<std::size_t>(len));
    std::string dir = bin.substr(0, bin.rfind('/')) + "/" SORTCOST_RECORDS_FROM_BIN;
    return std::ifstream(dir + "/records.tsv") ? dir : "";
}

std::string user_records() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/sortcost/records";
    const char* home = std::getenv("HOME");
    return home && home[0] ? std::string(home) + "/.local/share/sortcost/records" : "";
}

bool make_dirs(const std::string& path) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at < path.size() && path[at] != '/') continue;
        std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return is_directory(path);
}

std::string read_whole(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    std::string s{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    ok = in.good() || in.eof();
    return s;
}

}  // namespace

bool load_records(const std::string& dir, records_file& out, std::string& error) {
    out = {};
    const std::string path = dir + "/records.tsv";
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (errno == ENOENT) return true;
        error = path + ": " + std::strerror(errno);
        return false;
    }
    std::size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        out.lines.push_back(line);
        if (number == 1) {
            if (line != header) {
                error = path + ":1: the first line must be the header: " + header;
                return false;
            }
            continue;
        }
        if (!line.empty() && line[0] == '#') continue;
        record r;
        std::string why = parse_row(line, r);
        if (!why.empty()) {
            error = path + ":" + std::to_string(number) + ": " + why;
            return false;
        }
        for (const record& o : out.rows)
            if (o.program == r.program && o.elements == r.elements) {
                error = path + ":" + std::to_string(number) + ": a second row for " + r.program + " with " +
                        std::to_string(r.elements) + " elements";
                return false;
            }
        out.rows.push_back(r);
        out.row_lines.push_back(out.lines.size() - 1);
    }
    if (in.bad()) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string with_record(const records_file& f, const record& r) {
    const std::string row = r.program + '\t' + std::to_string(r.elements) + '\t' + std::to_string(r.bytes) + '\t' +
                            std::to_string(r.cost) + '\t' + r.status + '\t' + r.method + '\t' + r.file;
    std::vector<std::string> lines = f.lines;
    if (lines.empty()) lines.push_back(header);
    // In place of the row for the same program and size; else before the
    // first row that sorts after it; else at the end.
    std::size_t at = lines.size();
    bool replace = false;
    for (std::size_t i = 0; i < f.rows.size(); ++i) {
        const record& o = f.rows[i];
        if (o.program == r.program && o.elements == r.elements) {
            at = f.row_lines[i];
            replace = true;
            break;
        }
        auto after = [&](const record& x) {
            return program_rank(x.program) > program_rank(r.program) ||
                   (x.program == r.program && x.elements > r.elements);
        };
        if (after(o) && f.row_lines[i] < at) at = f.row_lines[i];
    }
    if (replace)
        lines[at] = row;
    else
        lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), row);
    std::string text;
    for (const std::string& l : lines) text += l + '\n';
    return text;
}

std::vector<unsigned char> record_bytes(const std::string& dir, const record& r) {
    std::ifstream in(dir + "/" + r.file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string default_records_dir() {
    std::string installed = installed_records();
    if (installed.empty()) return SORTCOST_SOURCE_RECORDS;
    std::string mine = user_records();
    return !mine.empty() && is_directory(mine) ? mine : installed;
}

bool writable_records_dir(std::string& dir, std::string& error) {
    std::string installed = installed_records();
    if (installed.empty()) {
        dir = SORTCOST_SOURCE_RECORDS;
        return true;
    }
    dir = user_records();
    if (dir.empty()) {
        error = "no folder for records of your own: set HOME or XDG_DATA_HOME, or give --records";
        return false;
    }
    if (is_directory(dir)) return true;
    // A new folder of one's own starts from the installed records.
    records_file f;
    if (!load_records(installed, f, error)) return false;
    if (!make_dirs(dir)) {
        error = dir + ": " + std::strerror(errno);
        return false;
    }
    for (const record& r : f.rows) {
        bool ok = false;
        std::string bytes = read_whole(installed + "/" + r.file, ok);
        std::string target = dir + "/" + r.file;
        if (!ok || !make_dirs(target.substr(0, target.rfind('/'))) || !write_file_atomically(target, bytes, error)) {
            if (error.empty()) error = target + ": " + std::strerror(errno);
            return false;
        }
    }
    bool ok = false;
    std::string text = read_whole(installed + "/records.tsv", ok);
    return write_file_atomically(dir + "/records.tsv", text, error);
}

int store_record(const std::string& program, const std::vector<unsigned char>& bytes, std::uint64_t cost,
                 std::string method, const std::string& dir, const std::function<bool(bool& exact, std::string& why)>& judge,
                 std::string& message) {
    const std::uint64_t n = bytes.size() / sortcost::find_program(program.c_str())->element_size;
    auto failed = [&](const std::string& why) {
        message = why;
        return exit_failure;
    };
    folder_lock lock(dir);
    if (lock.error()) return failed(escaped_path(dir) + ": " + std::strerror(lock.error()));
    records_file f;
    std::string error;
    if (!load_records(dir, f, error)) return failed(error);
    const record* old = nullptr;
    for (const record& r : f.rows)
        if (r.program == program && r.elements == n) old = &r;
    const std::string not_above =
        old ? program + " n=" + std::to_string(n) + " cost=" + std::to_string(cost) + ": not above the record, " +
                  std::to_string(old->cost)
            : "";
    // A tie replaces a best-known record only when it is proven exact.
    if (old && (old->cost > cost || (old->cost == cost && old->status == "exact"))) {
        message = not_above;
        return 0;
    }
    bool exact = false;
    if (!judge(exact, error)) return failed(error);
    if (old && old->cost == cost && !exact) {
        message = not_above;
        return 0;
    }
    for (char& c : method)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';  // one field of one row
    // A new name for each record, so that the table and the file it names
    // always agree: the table is replaced only once the file is in place.
    std::string digits = std::to_string(n);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
    const std::string name = program + "/n" + digits + "-c" + std::to_string(cost) + ".bin";
    record r{program, n, bytes.size(), cost, exact ? "exact" : "best-known", method, name};
    const std::string folder = dir + "/" + program;
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return failed(escaped_path(folder) + ": " + std::strerror(errno));
    if (!write_file_atomically(dir + "/" + r.file, std::string(bytes.begin(), bytes.end()), error))
        return failed(escaped_path(error));
    if (!write_file_atomically(dir + "/records.tsv", with_record(f, r), error)) {
        unlink((dir + "/" + r.file).c_str());  // no row names it
        return failed(escaped_path(error));
    }
    if (old && old->file != r.file) {
        bool shared = false;
        for (const record& o : f.rows) shared = shared || (&o != old && o.file == old->file);
        if (!shared) unlink((dir + "/" + old->file).c_str());
    }
    message = program + " n=" + std::to_string(n) + " cost=" + std::to_string(cost) + " " + r.status + ": " + r.file;
    return 0;
}
