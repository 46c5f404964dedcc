// SPDX-License-Identifier: MIT
// sortcost-ceiling: the costliest inputs known for each benchmark.
//
//   sortcost-ceiling [--records DIR] write PROGRAM N FILE
//   sortcost-ceiling exhaustive N
//   sortcost-ceiling [--records DIR] growth [MAX_N]
//   sortcost-ceiling [--records DIR] record PROGRAM FILE METHOD
//
// Every cost printed is computed from the input's bytes with the in-process
// entry points, so it is the number the program prints for them.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "costliest.h"
#include "exhaustive.h"
#include "growth.h"
#include "inputs.h"
#include "records.h"

namespace {

const char* const programs[] = {"isort_words", "qsort_words", "qsort_bytes"};

bool known_program(const std::string& p) { return p == programs[0] || p == programs[1] || p == programs[2]; }

int usage() {
    std::fprintf(stderr,
                 "Usage: sortcost-ceiling [--records DIR] write isort_words|qsort_words|qsort_bytes N FILE\n"
                 "       sortcost-ceiling exhaustive N   (N from 1 to %d)\n"
                 "       sortcost-ceiling [--records DIR] growth [MAX_N]\n"
                 "       sortcost-ceiling [--records DIR] record isort_words|qsort_words|qsort_bytes FILE METHOD\n",
                 exhaustive_max_elements);
    return 2;
}

// A whole number from 0 to `max`, or -1.
long long count_arg(const char* s, long long max) {
    char* end = nullptr;
    long long v = std::strtoll(s, &end, 10);
    return *s && !*end && v >= 0 && v <= max ? v : -1;
}

int write(const std::string& program, std::size_t n, const char* path, const std::string& records_dir) {
    ceiling_input c = costliest(program, n, read_records(records_dir), records_dir);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(c.bytes.data()), static_cast<std::streamsize>(c.bytes.size()));
    if (!out.flush()) {
        std::perror(path);
        return 1;
    }
    std::printf("%s n=%zu cost=%llu %s (%s)\n", program.c_str(), n, static_cast<unsigned long long>(c.cost),
                c.exact ? "exact maximum" : "best known", c.how.c_str());
    return 0;
}

// The input as numbers: words as 8 hexadecimal digits, bytes as 2.
std::string spelled(const std::string& program, const std::vector<unsigned char>& in) {
    std::string s;
    char buf[16];
    if (element_size(program) == 1) {
        for (unsigned char b : in) std::snprintf(buf, sizeof buf, "%s%02x", s.empty() ? "" : " ", b), s += buf;
        return s;
    }
    for (std::size_t i = 0; i + 4 <= in.size(); i += 4) {
        std::uint32_t w = 0;
        for (int b = 3; b >= 0; --b) w = w << 8 | in[i + static_cast<std::size_t>(b)];  // little-endian
        std::snprintf(buf, sizeof buf, "%s%08x", s.empty() ? "" : " ", w);
        s += buf;
    }
    return s;
}

// Stores FILE as the record for its size when it costs more than the record
// there; exact when that is proven, else best known.
int add_record(const std::string& program, const char* path, const std::string& method, const std::string& dir) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::perror(path);
        return 1;
    }
    std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::size_t n = bytes.size() / element_size(program);
    bytes.resize(n * element_size(program));  // the bytes past the last whole word change nothing
    const std::uint64_t cost = program_cost(program, bytes);

    std::vector<record> records = read_records(dir);
    for (const record& r : records) {
        if (r.program == program && r.elements == n && r.cost >= cost) {
            std::printf("%s n=%zu cost=%llu: not above the record, %llu\n", program.c_str(), n,
                        static_cast<unsigned long long>(cost), static_cast<unsigned long long>(r.cost));
            return 0;
        }
    }
    bool exact = construction(program, n).exact;
    if (!exact && n >= 1 && static_cast<int>(n) <= exhaustive_max_elements) {
        std::uint64_t max = exhaustive_maximum(program, static_cast<int>(n)).cost;
        if (cost > max) {
            std::fprintf(stderr, "sortcost-ceiling: %s costs %llu, above the exact maximum %llu\n", path,
                         static_cast<unsigned long long>(cost), static_cast<unsigned long long>(max));
            return 1;
        }
        exact = cost == max;
    }
    char name[64];
    std::snprintf(name, sizeof name, "%s/n%05zu.bin", program.c_str(), n);
    record r{program, n, bytes.size(), cost, exact ? "exact" : "best-known", method, name};
    for (char& c : r.method)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';  // one field of one row
    std::error_code ec;
    std::filesystem::create_directories(dir + "/" + program, ec);
    std::ofstream file(dir + "/" + r.file, std::ios::binary);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        std::perror((dir + "/" + r.file).c_str());
        return 1;
    }
    std::erase_if(records, [&](const record& o) { return o.program == program && o.elements == n; });
    records.push_back(r);
    if (!write_records(dir, records)) {
        std::perror((dir + "/records.tsv").c_str());
        return 1;
    }
    std::printf("%s n=%zu cost=%llu %s: %s\n", program.c_str(), n, static_cast<unsigned long long>(cost),
                r.status.c_str(), r.file.c_str());
    return 0;
}

void exhaustive(int max_n) {
    std::printf("program\tn\tmax\tstatus\truns\tseconds\twitness\n");
    for (int n = 1; n <= max_n; ++n) {
        for (const char* program : programs) {
            auto start = std::chrono::steady_clock::now();
            exact_maximum m = exhaustive_maximum(program, n);
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            std::printf("%s\t%d\t%llu\texact\t%llu\t%.2f\t%s\n", program, n, static_cast<unsigned long long>(m.cost),
                        static_cast<unsigned long long>(m.runs), seconds, spelled(program, m.witness).c_str());
            std::fflush(stdout);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string records_dir;
    if (args.size() >= 2 && args[0] == "--records") {
        records_dir = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (records_dir.empty()) records_dir = default_records_dir();
    if (args.empty()) return usage();
    if (args[0] == "write" && args.size() == 4 && known_program(args[1])) {
        long long n = count_arg(args[2].c_str(), 1LL << 28);
        if (n < 0) return usage();
        return write(args[1], static_cast<std::size_t>(n), args[3].c_str(), records_dir);
    }
    if (args[0] == "exhaustive" && args.size() == 2) {
        long long n = count_arg(args[1].c_str(), exhaustive_max_elements);
        if (n < 1) return usage();
        exhaustive(static_cast<int>(n));
        return 0;
    }
    if (args[0] == "record" && args.size() == 4 && known_program(args[1]))
        return add_record(args[1], args[2].c_str(), args[3], records_dir);
    if (args[0] == "growth" && args.size() <= 2) {
        long long n = args.size() == 2 ? count_arg(args[1].c_str(), 1LL << 20) : 16384;
        if (n < 0) return usage();
        print_growth(static_cast<std::size_t>(n), read_records(records_dir), records_dir);
        return 0;
    }
    return usage();
}
