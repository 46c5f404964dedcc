// SPDX-License-Identifier: MIT
#include "records.h"

#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cli.h"
#include "safe_file.h"

const tsv_format records_format{{"program", "elements", "bytes", "cost", "status", "method", "file"}};

const char* status_name(record_status s) { return s == record_status::exact ? "exact" : "best-known"; }

bool parse_status(const std::string& text, record_status& out) {
    for (record_status s : {record_status::exact, record_status::best_known})
        if (text == status_name(s)) {
            out = s;
            return true;
        }
    return false;
}

namespace {

// The reason `f` is no record, or empty when it is one (then in `r`).
std::string parse_record(const std::vector<std::string>& f, record& r) {
    r.program = sortcost::find_program(f[0].c_str());
    if (!r.program) return "no such program: " + f[0];
    if (!parse_count(f[1], 1, UINT64_MAX, r.elements) || !parse_count(f[2], 1, UINT64_MAX, r.bytes) ||
        !parse_count(f[3], 1, UINT64_MAX, r.cost))
        return "elements, bytes and cost must be whole numbers above 0";
    if (r.bytes / r.program->element_size != r.elements || r.bytes % r.program->element_size != 0)
        return "bytes is not elements times the element size";
    if (!parse_status(f[4], r.status)) return "status must be exact or best-known";
    if (f[5].empty()) return "the method is empty";
    if (f[6].empty() || f[6][0] == '/' || f[6].find("..") != std::string::npos)
        return "the file must be a path inside the records folder";
    r.method = f[5];
    r.file = f[6];
    return "";
}

std::vector<std::string> fields_of(const record& r) {
    return {r.program->name, std::to_string(r.elements), std::to_string(r.bytes), std::to_string(r.cost), status_name(r.status),
            r.method, r.file};
}

// The text of `f` with `r` in place of the row for its program and size, or
// added before the first row that sorts after it, else at the end.
std::string with_record(const records_file& f, const record& r) {
    std::vector<std::string> lines = f.table.lines;
    if (lines.empty()) {
        lines.push_back(tsv_header(records_format));
        lines.back().pop_back();
    }
    std::string row = tsv_line(fields_of(r));
    row.pop_back();
    auto after = [&](const record& x) {
        return sortcost::program_index(*x.program) > sortcost::program_index(*r.program) ||
               (x.program == r.program && x.elements > r.elements);
    };
    std::size_t at = lines.size();
    for (std::size_t i = 0; i < f.rows.size(); ++i) {
        const std::size_t line = f.table.rows[i].line - 1;
        if (f.rows[i].program == r.program && f.rows[i].elements == r.elements) {
            lines[line] = row;
            at = SIZE_MAX;
            break;
        }
        if (after(f.rows[i]) && line < at) at = line;
    }
    if (at != SIZE_MAX) lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), row);
    std::string text;
    for (const std::string& l : lines) text += l + '\n';
    return text;
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
    struct stat st;
    return stat((dir + "/records.tsv").c_str(), &st) == 0 ? dir : "";
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
        if (mkdir(path.substr(0, at).c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return is_directory(path);
}

std::string folder_of(const std::string& path) { return path.substr(0, path.rfind('/')); }

// Copies the records of `from` into the new folder `to`, whole or not at all:
// into a temporary folder beside it, renamed into place once complete.
bool copy_records(const std::string& from, const std::string& to, std::string& error) {
    records_file f;
    if (!load_records(from, f, error)) return false;
    const std::string parent = folder_of(to);
    if (!make_dirs(parent)) {
        error = escaped_path(parent) + ": " + std::strerror(errno);
        return false;
    }
    std::string temp = parent + "/.records.XXXXXX";
    if (!mkdtemp(temp.data())) {
        error = escaped_path(parent) + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    std::string text;
    for (std::size_t i = 0; ok && i <= f.rows.size(); ++i) {
        const std::string name = i < f.rows.size() ? f.rows[i].file : "records.tsv";
        const std::string target = temp + "/" + name;
        ok = read_regular_file(from + "/" + name, text, error) && make_dirs(folder_of(target)) &&
             write_file_atomically(target, text, error);
        if (!ok && error.empty()) error = escaped_path(target) + ": " + std::strerror(errno);
    }
    if (ok && rename(temp.c_str(), to.c_str()) == 0) return true;
    if (ok) {
        // Another process made the folder first: use it.
        ok = errno == EEXIST || errno == ENOTEMPTY;
        if (!ok) error = escaped_path(to) + ": " + std::strerror(errno);
    }
    // Everything under the temporary folder is this call's own.
    nftw(temp.c_str(), [](const char* path, const struct stat*, int, struct FTW*) { return remove(path); }, 16,
         FTW_DEPTH | FTW_PHYS);
    return ok;
}

}  // namespace

bool load_records(const std::string& dir, records_file& out, std::string& error) {
    out = {};
    const std::string path = dir + "/records.tsv";
    struct stat st;
    if (stat(path.c_str(), &st) != 0 && errno == ENOENT) return true;
    if (!read_tsv(path, records_format, out.table, error)) return false;
    for (const tsv_row& row : out.table.rows) {
        record r;
        std::string why = parse_record(row.fields, r);
        if (why.empty() && find_record(out.rows, *r.program, r.elements))
            why = "a second row for " + std::string(r.program->name) + " with " + std::to_string(r.elements) + " elements";
        if (!why.empty()) {
            error = escaped_path(path) + ":" + std::to_string(row.line) + ": " + why;
            return false;
        }
        out.rows.push_back(r);
    }
    return true;
}

const record* find_record(const std::vector<record>& rows, const sortcost::program_info& program, std::uint64_t n) {
    for (const record& r : rows)
        if (r.program == &program && r.elements == n) return &r;
    return nullptr;
}

std::vector<unsigned char> record_bytes(const std::string& dir, const record& r) {
    std::string text, ignored;
    if (!read_regular_file(dir + "/" + r.file, text, ignored)) return {};
    return {text.begin(), text.end()};
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
    return is_directory(dir) || copy_records(installed, dir, error);
}

int store_record(const sortcost::program_info& program, const std::vector<unsigned char>& bytes, std::uint64_t cost,
                 std::string method, const std::string& dir,
                 const std::function<bool(bool& exact, std::string& why)>& judge, std::string& message, bool* kept) {
    if (kept) *kept = false;
    const std::uint64_t n = bytes.size() / program.element_size;
    auto failed = [&](const std::string& why) {
        message = why;
        return exit_failure;
    };
    folder_lock lock(dir);
    if (lock.error()) return failed(escaped_path(dir) + ": " + std::strerror(lock.error()));
    records_file f;
    std::string error;
    if (!load_records(dir, f, error)) return failed(error);
    const record* old = find_record(f.rows, program, n);
    const std::string about = std::string(program.name) + " n=" + std::to_string(n) + " cost=" + std::to_string(cost);
    const std::string not_above = old ? about + ": not above the record, " + std::to_string(old->cost) : "";
    // A tie replaces a best-known record only when it is proven exact.
    if (old && (old->cost > cost || (old->cost == cost && old->status == record_status::exact))) {
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
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';  // prose on one line
    // A new name for each record, so that the table and the file it names
    // always agree: the table is replaced only once the file is in place.
    std::string digits = std::to_string(n);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), '0');
    const std::string name = std::string(program.name) + "/n" + digits + "-c" + std::to_string(cost) + ".bin";
    record r{&program, n, bytes.size(), cost, exact ? record_status::exact : record_status::best_known, method, name};
    const std::string folder = dir + "/" + program.name;
    if (mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return failed(escaped_path(folder) + ": " + std::strerror(errno));
    if (!write_file_atomically(dir + "/" + r.file, std::string(bytes.begin(), bytes.end()), error))
        return failed(error);
    if (!write_file_atomically(dir + "/records.tsv", with_record(f, r), error)) {
        if (!old || old->file != r.file) unlink((dir + "/" + r.file).c_str());  // no row names it
        return failed(error);
    }
    if (old && old->file != r.file) {
        bool shared = false;
        for (const record& o : f.rows) shared = shared || (&o != old && o.file == old->file);
        if (!shared) unlink((dir + "/" + old->file).c_str());
    }
    if (kept) *kept = true;
    message = about + " " + status_name(r.status) + ": " + r.file;
    return 0;
}
