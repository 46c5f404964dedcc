// SPDX-License-Identifier: MIT
#include "records.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <tuple>

namespace {

bool whole_number(const std::string& s, std::uint64_t& out) {
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::strtoull(s.c_str(), nullptr, 10);
    return true;
}

}  // namespace

// Rows that do not parse are left out.
std::vector<record> read_records(const std::string& dir) {
    std::vector<record> out;
    std::ifstream in(dir + "/records.tsv");
    std::string line;
    std::getline(in, line);  // the header
    while (std::getline(in, line)) {
        std::istringstream f(line);
        record r;
        std::string elements, bytes, cost;
        std::getline(f, r.program, '\t');
        std::getline(f, elements, '\t');
        std::getline(f, bytes, '\t');
        std::getline(f, cost, '\t');
        std::getline(f, r.status, '\t');
        std::getline(f, r.method, '\t');
        std::getline(f, r.file, '\t');
        if (!r.file.empty() && whole_number(elements, r.elements) && whole_number(bytes, r.bytes) &&
            whole_number(cost, r.cost))
            out.push_back(r);
    }
    return out;
}

bool write_records(const std::string& dir, std::vector<record> records) {
    auto rank = [](const std::string& p) { return p == "isort_words" ? 0 : p == "qsort_words" ? 1 : 2; };
    std::sort(records.begin(), records.end(), [&](const record& a, const record& b) {
        return std::make_tuple(rank(a.program), a.elements) < std::make_tuple(rank(b.program), b.elements);
    });
    std::ofstream out(dir + "/records.tsv");
    out << "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n";
    for (const record& r : records)
        out << r.program << '\t' << r.elements << '\t' << r.bytes << '\t' << r.cost << '\t' << r.status << '\t'
            << r.method << '\t' << r.file << '\n';
    return static_cast<bool>(out.flush());
}

std::vector<unsigned char> record_bytes(const std::string& dir, const record& r) {
    std::ifstream in(dir + "/" + r.file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string default_records_dir() {
    char exe[4096];
    ssize_t len = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (len > 0) {
        std::string bin(exe, static_cast<std::size_t>(len));
        std::string installed = bin.substr(0, bin.rfind('/')) + "/" SORTCOST_RECORDS_FROM_BIN;
        if (std::ifstream(installed + "/records.tsv")) return installed;
    }
    return SORTCOST_SOURCE_RECORDS;
}
