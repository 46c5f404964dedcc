// SPDX-License-Identifier: MIT
// The ceiling tool's inputs, run through the programs: each program must
// report exactly the cost the tool announced.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "program_runner.h"

namespace {

struct ceiling_case {
    const char* program;
    std::uint64_t n;
    const char* exe;
    bool exact;  // the tool must call its input the exact maximum, or best known
};

class Ceiling : public ::testing::TestWithParam<ceiling_case> {};

// Writes the tool's input and returns the cost it announced.
std::uint64_t announced(const ceiling_case& c, const std::string& path) {
    auto r = run_program(CEILING_PATH, {"write", "--time", "1", c.program, std::to_string(c.n), path});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(c.exact ? " exact maximum (" : " best known ("), std::string::npos) << r.out;
    auto at = r.out.find(" cost=");
    EXPECT_NE(at, std::string::npos) << r.out;
    return std::stoull(r.out.substr(at + 6));
}

TEST_P(Ceiling, ProgramReportsTheAnnouncedCost) {
    const ceiling_case& c = GetParam();
    scratch_dir dir;
    std::string path = dir.path + "/ceiling.bin";
    std::uint64_t cost = announced(c, path);
    auto r = run_program(c.exe, {path});
    EXPECT_EQ(r.out, "[COST] " + std::to_string(cost) + "\n");
    EXPECT_EQ(r.err, "");

    std::uint64_t n = c.n;
    if (std::string(c.program) == "isort_words") EXPECT_EQ(cost, 2 * n + 4 + n * (n - 1) / 2);
    // The adversary makes the quicksort quadratic.
    if (std::string(c.program) == "qsort_words" && n >= 4096) EXPECT_GE(cost, 45 * n * n / 100);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, Ceiling,
    ::testing::Values(ceiling_case{"isort_words", 1, ISORT_WORDS_PATH, true},
                      ceiling_case{"isort_words", 7, ISORT_WORDS_PATH, true},
                      ceiling_case{"isort_words", 1000, ISORT_WORDS_PATH, true},
                      ceiling_case{"qsort_words", 1, QSORT_WORDS_PATH, true},
                      ceiling_case{"qsort_words", 5, QSORT_WORDS_PATH, true},
                      ceiling_case{"qsort_words", 10, QSORT_WORDS_PATH, true},
                      ceiling_case{"qsort_words", 100, QSORT_WORDS_PATH, false},
                      ceiling_case{"qsort_words", 4096, QSORT_WORDS_PATH, false},
                      ceiling_case{"qsort_bytes", 6, QSORT_BYTES_PATH, true},
                      ceiling_case{"qsort_bytes", 256, QSORT_BYTES_PATH, false},
                      ceiling_case{"qsort_bytes", 3000, QSORT_BYTES_PATH, false}),
    [](const auto& info) { return std::string(info.param.program) + "_" + std::to_string(info.param.n); });

const std::string try_help = "Try 'sortcost-ceiling --help'.\n";

TEST(CeilingTool, CommandLines) {
    scratch_dir dir;
    dir.write("two", words_bytes({2, 1}));
    ASSERT_EQ(mkdir((dir.path + "/records").c_str(), 0700), 0);
    check_rows(CEILING_PATH,
               {
                   {{"--help"}, 0, "Usage: sortcost-ceiling [--records DIR] [--time S] [--threads T] write PROGRAM N FILE\n...", ""},
                   {{"--version"}, 0, std::string("sortcost-ceiling ") + SORTCOST_VERSION + "\n", ""},
                   {{}, 2, "", "sortcost-ceiling: no command (write, exhaustive, merge, growth or record)\n" + try_help},
                   {{"frobnicate"}, 2, "", "sortcost-ceiling: no such command: 'frobnicate' (write, exhaustive, merge, growth or record)\n" + try_help},
                   {{"--frobnicate", "exhaustive", "3"}, 2, "", "sortcost-ceiling: unknown option '--frobnicate'\n" + try_help},
                   {{"exhaustive"}, 2, "", "sortcost-ceiling: exhaustive takes N\n" + try_help},
                   {{"exhaustive", "0"}, 2, "", "sortcost-ceiling: N must be a whole number from 1 to 18, not '0'\n" + try_help},
                   {{"exhaustive", "19"}, 2, "", "sortcost-ceiling: N must be a whole number from 1 to 18, not '19'\n" + try_help},
                   {{"exhaustive", "--part", "4/3", "5"}, 2, "", "sortcost-ceiling: --part must be K/N with 1 <= K <= N, not '4/3'\n" + try_help},
                   {{"write", "bubble_words", "5", "@/out"}, 2, "",
                    "sortcost-ceiling: no such program: 'bubble_words' (isort_words, qsort_words or qsort_bytes)\n" + try_help},
                   {{"write", "qsort_words", "0", "@/out"}, 2, "", "sortcost-ceiling: N must be a whole number from 1 to 16384, not '0'\n" + try_help},
                   {{"write", "qsort_words", "1000000", "@/out"}, 2, "", "sortcost-ceiling: N must be a whole number from 1 to 16384, not '1000000'\n" + try_help},
                   {{"write", "qsort_words", "-3", "@/out"}, 2, "", "sortcost-ceiling: unknown option '-3'\n" + try_help},
                   {{"--records", "@/missing", "write", "qsort_words", "16", "@/out"}, 1, "",
                    "sortcost-ceiling: --records @/missing: No such file or directory\n"},
                   {{"--records", "@/two", "growth", "8"}, 1, "", "sortcost-ceiling: --records @/two: Not a directory\n"},
                   {{"--records", "@/missing", "record", "qsort_words", "@/two", "by hand"}, 1, "",
                    "sortcost-ceiling: --records @/missing: No such file or directory\n"},
                   {{"record", "qsort_words", "@/two", ""}, 2, "", "sortcost-ceiling: METHOD must say how the input was found\n" + try_help},
                   // Options anywhere before "--"; after it, operands.
                   {{"exhaustive", "--records", "@/records", "1"}, 0, "program\tn\tmax\tstatus\truns\tseconds\twitness\n...", ""},
                   {{"--", "--help"}, 2, "", "sortcost-ceiling: no such command: '--help' (write, exhaustive, merge, growth or record)\n" + try_help},
                   {{"write", "--records=@/records", "qsort_words", "2", "@/w2"}, 0,
                    "qsort_words n=2 cost=12 exact maximum (...", ""},
               },
               dir);
}

// The search split into parts, run apart and merged, proves what one run
// proves; a missing part is refused.
TEST(CeilingTool, PartsMergeToTheWholeSearch) {
    scratch_dir dir;
    auto columns = [](const std::string& tsv) {  // all but the time
        std::string out;
        std::istringstream in(tsv);
        for (std::string line; std::getline(in, line);) out += line.substr(0, line.rfind('\t', line.rfind('\t') - 1)) + "\n";
        return out;
    };
    auto whole = run_program(CEILING_PATH, {"exhaustive", "7", "--threads", "2"});
    ASSERT_EQ(whole.status, 0) << whole.err;
    std::vector<std::string> files;
    for (int k = 1; k <= 3; ++k) {
        auto part = run_program(CEILING_PATH, {"exhaustive", "--part", std::to_string(k) + "/3", "7"});
        ASSERT_EQ(part.status, 0) << part.err;
        files.push_back(dir.write("part" + std::to_string(k), part.out));
    }
    auto merged = run_program(CEILING_PATH, {"merge", files[0], files[1], files[2]});
    EXPECT_EQ(merged.status, 0) << merged.err;
    // merge orders its rows by program name, then n.
    auto sorted = [](const std::string& tsv) {
        std::istringstream in(tsv);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        std::sort(lines.begin(), lines.end());
        std::string out;
        for (auto& l : lines) out += l + "\n";
        return out;
    };
    EXPECT_EQ(sorted(columns(merged.out)), sorted(columns(whole.out)));
    // Each merged witness costs its maximum, run through its program.
    const std::map<std::string, std::string> exe = {
        {"isort_words", ISORT_WORDS_PATH}, {"qsort_words", QSORT_WORDS_PATH}, {"qsort_bytes", QSORT_BYTES_PATH}};
    for (const auto& row : tsv_rows(merged.out)) {
        if (row.size() < 7) continue;  // a closed form's row needs no witness
        std::string bytes;
        std::istringstream hex(row[6]);
        for (std::string element; hex >> element;)
            for (std::size_t i = element.size(); i >= 2; i -= 2)  // little-endian words
                bytes += static_cast<char>(std::stoul(element.substr(i - 2, 2), nullptr, 16));
        const std::string input = dir.write("witness", bytes);
        EXPECT_EQ(run_program(exe.at(row[0]), {input}).out, "[COST] " + row[2] + "\n") << row[0] << " n=" << row[1];
    }
    auto missing = run_program(CEILING_PATH, {"merge", files[0], files[2]});
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("sortcost-ceiling: qsort_words n=7: no part 2/3\n"), std::string::npos) << missing.err;
    auto twice = run_program(CEILING_PATH, {"merge", files[0], files[0]});
    EXPECT_EQ(twice.status, 1);
}

// merge and record --proof check what they are given: a forged maximum, a
// damaged or mismatched part, or a file that is no regular file is refused
// with the file and line named, never waited on.
TEST(CeilingTool, MergeRefusesWhatItCannotTrust) {
    scratch_dir dir;
    auto part = [&](int k, int m) {
        auto r = run_program(CEILING_PATH, {"exhaustive", "--from", "6", "--program", "qsort_words", "--part",
                                            std::to_string(k) + "/" + std::to_string(m), "6"});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    const std::string one = part(1, 2), two = part(2, 2);
    dir.write("one", one);
    dir.write("two", two);
    std::string forged = one;  // the max raised by hand, the witness as it was
    const std::size_t max_at = forged.find("\t", forged.find("qsort_words\t6\t")) + 3;
    forged.replace(max_at, forged.find('\t', max_at) - max_at, "999");
    dir.write("forged", forged);
    dir.write("cut", one.substr(0, one.size() - 20));
    dir.write("three", part(1, 3));
    dir.write("empty", "");
    ASSERT_EQ(mkfifo((dir.path + "/fifo").c_str(), 0600), 0);
    const std::string c = "sortcost-ceiling: ";
    check_rows(CEILING_PATH,
               {
                   {{"merge", "@/one", "@/two"}, 0, "program\tn\tmax\tstatus\truns\tseconds\twitness\nqsort_words\t6\t152\texact\t...", ""},
                   {{"merge", "@/forged", "@/two"}, 1, "", c + "@/forged:2: the witness costs 152, not the maximum 999\n"},
                   {{"merge", "@/cut", "@/two"}, 1, "", c + "@/cut: the last line has no newline: the file is cut short\n"},
                   {{"merge", "@/one", "@/one"}, 1, "", c + "@/one: qsort_words n=6 part 1/2 appears twice\n"},
                   {{"merge", "@/one", "@/three"}, 1, "", c + "@/three: qsort_words n=6 part 1/3 does not match the parts before it\n"},
                   {{"merge", "@/fifo"}, 1, "", c + "@/fifo: not a regular file\n"},
                   {{"merge", "/dev/zero"}, 1, "", c + "/dev/zero: not a regular file\n"},
                   {{"merge", "@"}, 1, "", c + "@: not a regular file\n"},
                   {{"merge", "@/empty"}, 1, "", c + "@/empty: empty, where a table with the header was expected\n"},
                   {{"--records", "@", "--proof", "@/forged", "record", "qsort_words", "@/one", "m"}, 1, "",
                    c + "@/forged:2: the witness costs 152, not the maximum 999\n"},
               },
               dir);
}

// A record is exact on the word of a stored exhaustive run's exact row.
TEST(CeilingTool, RecordTakesAProofFromAStoredRun) {
    scratch_dir dir;
    ASSERT_EQ(mkdir((dir.path + "/records").c_str(), 0700), 0);
    auto run = run_program(CEILING_PATH, {"exhaustive", "--from", "5", "--program", "qsort_words", "5"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string proof = dir.write("proof.tsv", run.out);
    // The witness: the last field, words as 8 hexadecimal digits.
    std::istringstream witness(run.out.substr(run.out.rfind('\t') + 1));
    std::vector<std::uint32_t> words;
    for (std::string w; witness >> w;) words.push_back(static_cast<std::uint32_t>(std::stoul(w, nullptr, 16)));
    const std::string input = dir.write("witness", words_bytes(words));
    auto r = run_program(CEILING_PATH, {"--records", dir.path + "/records", "--proof", proof, "record", "qsort_words", input, "m"});
    EXPECT_EQ(r.out, "qsort_words n=5 cost=117 exact: qsort_words/n00005-c117.bin\n") << r.err;
    // A tie proven exact replaces a best-known record; then it is a tie.
    const std::string known = dir.path + "/known";
    ASSERT_EQ(mkdir(known.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((known + "/qsort_words").c_str(), 0700), 0);
    dir.write("known/qsort_words/n00005-c117.bin", words_bytes(words));
    dir.write("known/records.tsv", "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n"
                                   "qsort_words\t5\t20\t117\tbest-known\tm\tqsort_words/n00005-c117.bin\n");
    for (const char* expected : {"qsort_words n=5 cost=117 exact: qsort_words/n00005-c117.bin\n",
                                 "qsort_words n=5 cost=117: not above the record, 117\n"}) {
        auto tie = run_program(CEILING_PATH, {"--records", known, "--proof", proof, "record", "qsort_words", input, "m"});
        EXPECT_EQ(tie.out, expected) << tie.err;
        // The new row names the old row's file: it is kept, and holds the input.
        EXPECT_EQ(file_text(known + "/qsort_words/n00005-c117.bin"), words_bytes(words)) << expected;
    }
    // That tie with a table too large to write: the file the old row names stays.
    const std::string full = dir.path + "/full";
    ASSERT_EQ(mkdir(full.c_str(), 0700), 0);
    ASSERT_EQ(mkdir((full + "/qsort_words").c_str(), 0700), 0);
    dir.write("full/qsort_words/n00005-c117.bin", words_bytes(words));
    std::string table = "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n"
                        "qsort_words\t5\t20\t117\tbest-known\tm\tqsort_words/n00005-c117.bin\n";
    for (int n = 1; n <= 60; ++n) table += "qsort_bytes\t" + std::to_string(n) + "\t" + std::to_string(n) + "\t1\tbest-known\tm\tb.bin\n";
    dir.write("full/records.tsv", table);
    auto failed = run_program(CEILING_PATH, {"--records", full, "--proof", proof, "record", "qsort_words", input, "m"},
                              {.file_size_limit = 2048});
    EXPECT_EQ(failed.status, 1) << failed.out;
    EXPECT_EQ(file_text(full + "/records.tsv"), table);
    EXPECT_EQ(file_text(full + "/qsort_words/n00005-c117.bin"), words_bytes(words));
    const std::string other = dir.write("other.tsv", "program\tn\tmax\tstatus\truns\tseconds\twitness\n");
    auto refused = run_program(CEILING_PATH, {"--records", dir.path + "/records", "--proof", other, "record", "qsort_bytes",
                                              dir.write("b", "\x05\x04\x03"), "m"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "sortcost-ceiling: " + other + ": no exact maximum for qsort_bytes n=3\n");
}

// A size with no record gets no less than a smaller size's record.
TEST(CeilingTool, WriteWithoutARecordBeatsSmallerRecords) {
    std::map<std::string, std::vector<std::pair<std::uint64_t, std::uint64_t>>> rows;  // program: (n, cost)
    for (const auto& f : tsv_rows(file_text(std::string(RECORDS_DIR) + "/records.tsv")))
        rows[f[0]].push_back({std::stoull(f[1]), std::stoull(f[3])});
    scratch_dir dir;
    for (const char* program : {"qsort_words", "qsort_bytes"}) {
        for (std::uint64_t n : {11, 12, 13, 17, 20, 33, 65}) {
            std::uint64_t floor = 0;
            for (auto [m, cost] : rows[program]) floor = m < n ? std::max(floor, cost) : floor;
            auto r = run_program(CEILING_PATH, {"write", "--time", "1", program, std::to_string(n), dir.path + "/w"});
            ASSERT_EQ(r.status, 0) << r.err;
            auto at = r.out.find(" cost=");
            ASSERT_NE(at, std::string::npos) << r.out;
            EXPECT_GE(std::stoull(r.out.substr(at + 6)), floor) << program << " " << n << ": " << r.out;
        }
    }
}

// A 256-word input of 116,588 steps whose shape survives stretching: with
// only it as a record, 512 and 1,024 words get it stretched, above the runs
// of 0s and 2^31s (1.5 n^2).
TEST(CeilingTool, WriteStretchesARecordsShape) {
    scratch_dir dir;
    ASSERT_EQ(mkdir((dir.path + "/records").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir.path + "/records/qsort_words").c_str(), 0700), 0);
    dir.write("records/qsort_words/n00256.bin", file_text(STRETCHES_PATH));
    dir.write("records/records.tsv", "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n"
                                     "qsort_words\t256\t1024\t116588\tbest-known\tm\tqsort_words/n00256.bin\n");
    for (int n : {512, 1024}) {
        auto r = run_program(CEILING_PATH, {"--records", dir.path + "/records", "--time", "0", "write", "qsort_words", std::to_string(n),
                                            dir.path + "/w"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(" best known (the record of 256 stretched to " + std::to_string(n) + ": each element repeated " +
                             std::to_string(n / 256) + " times)\n"),
                  std::string::npos)
            << r.out;
        auto at = r.out.find(" cost=");
        ASSERT_NE(at, std::string::npos) << r.out;
        EXPECT_GE(std::stoull(r.out.substr(at + 6)), 165ull * n * n / 100) << r.out;
    }
}

// Output that cannot be written is a failure, not a success with nothing.
TEST(CeilingTool, UnwritableOutputFails) {
    for (auto args : {std::vector<std::string>{"exhaustive", "3"}, {"--help"}, {"--version"}}) {
        auto r = run_program(CEILING_PATH, args, {.out = stdout_to::dev_full});
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.err, "sortcost-ceiling: standard output: No space left on device\n") << args[0];
    }
    scratch_dir dir;
    auto r = run_program(CEILING_PATH, {"write", "--time", "0", "qsort_words", "16", "/dev/full/out"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("sortcost-ceiling: /dev/full/out: ", 0), 0u) << r.err;
}

// A record is kept only above the one before it, and is exact where the
// search proves it; what the records file held is kept as it was.
TEST(CeilingTool, RecordKeepsOnlyWhatCostsMore) {
    scratch_dir dir;
    std::string records = dir.path + "/records";
    ASSERT_EQ(mkdir(records.c_str(), 0700), 0);
    const std::string header = "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n";
    const std::string kept = "# found on a Tuesday\nqsort_bytes\t1\t1\t6\texact\tby hand\tb1.bin\n";
    dir.write("records/records.tsv", header + kept);
    dir.write("records/b1.bin", "x");
    std::string cheap = dir.write("cheap", words_bytes({1, 2, 3}));
    std::string costly = dir.write("costly", words_bytes({0, 2, 0x80000000u}) + "\x01");
    auto record = [&](const std::string& file) {
        return run_program(CEILING_PATH, {"record", "qsort_words", file, "by\thand", "--records", records});
    };
    auto first = record(cheap);
    EXPECT_EQ(first.out, "qsort_words n=3 cost=13 best-known: qsort_words/n00003-c13.bin\n") << first.err;
    auto second = record(costly);
    EXPECT_EQ(second.out, "qsort_words n=3 cost=37 exact: qsort_words/n00003-c37.bin\n") << second.err;
    auto third = record(cheap);
    EXPECT_EQ(third.out, "qsort_words n=3 cost=13: not above the record, 37\n");
    auto again = record(costly);
    EXPECT_EQ(again.out, "qsort_words n=3 cost=37: not above the record, 37\n") << "a tie is no record";
    EXPECT_EQ(file_text(records + "/records.tsv"),
              header + "# found on a Tuesday\nqsort_words\t3\t12\t37\texact\tby hand\tqsort_words/n00003-c37.bin\n" +
                  "qsort_bytes\t1\t1\t6\texact\tby hand\tb1.bin\n");
    EXPECT_EQ(file_text(records + "/qsort_words/n00003-c37.bin"), words_bytes({0, 2, 0x80000000u}));
    EXPECT_FALSE(std::filesystem::exists(records + "/qsort_words/n00003-c13.bin")) << "the old record's file goes";
    auto listing = std::filesystem::directory_iterator(records + "/qsort_words");
    EXPECT_EQ(std::distance(listing, std::filesystem::directory_iterator()), 1) << "no temporary file is left";
}

// What record refuses, leaving the records exactly as they were.
TEST(CeilingTool, RecordRefusals) {
    scratch_dir dir;
    std::string records = dir.path + "/records";
    ASSERT_EQ(mkdir(records.c_str(), 0700), 0);
    const std::string table = "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n"
                              "qsort_words\t1\t4\t6\texact\tby hand\tw1.bin\n";
    dir.write("records/records.tsv", table);
    dir.write("records/w1.bin", words_bytes({7}));
    std::string good = dir.write("good", words_bytes({2, 1}));
    dir.write("empty", "");
    dir.write("short", "abc");
    ASSERT_EQ(mkfifo((dir.path + "/fifo").c_str(), 0600), 0);
    std::string r = "sortcost-ceiling: ";
    check_rows(CEILING_PATH,
               {
                   {{"--records", "@/records", "record", "qsort_words", "@/fifo", "m"}, 1, "", r + "@/fifo: seek_end: Illegal seek\n"},
                   {{"--records", "@/records", "record", "qsort_words", "@/empty", "m"}, 1, "",
                    r + "@/empty: fread: empty, or shorter than its size\n"},
                   {{"--records", "@/records", "record", "qsort_words", "/dev/zero", "m"}, 1, "",
                    r + "/dev/zero: fread: empty, or shorter than its size\n"},
                   {{"--records", "@/records", "record", "qsort_words", "@/missing", "m"}, 1, "",
                    r + "@/missing: open_file: No such file or directory\n"},
                   {{"--records", "@/records", "record", "qsort_words", "@/short", "m"}, 1, "", r + "@/short: not one whole element\n"},
               },
               dir);
    // A folder fails at a step that depends on the file system.
    auto folder = run_program(CEILING_PATH, {"--records", records, "record", "qsort_words", dir.path, "m"});
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err.rfind(r + dir.path + ": ", 0), 0u) << folder.err;
    EXPECT_EQ(file_text(records + "/records.tsv"), table);

    // A records file that does not parse in full is refused, file and line named.
    for (auto [text, why] : std::vector<std::pair<std::string, std::string>>{
             {table + "qsort_words\t2\t8\tlots\texact\tm\tw2.bin\n", ":3: elements, bytes and cost must be whole numbers above 0"},
             {table + "bubble_words\t2\t8\t9\texact\tm\tw2.bin\n", ":3: no such program: bubble_words"},
             {table + "qsort_words\t2\t8\t9\n", ":3: a row has 7 tab-separated fields, this has 4"},
             {table + "qsort_words\t1\t4\t6\texact\tm\tw.bin\n", ":3: a second row for qsort_words with 1 elements"},
             {"program\telements\n" + table.substr(table.find('\n') + 1), ":1: the first line must be the header: "
                                                                          "program\telements\tbytes\tcost\tstatus\tmethod\tfile"},
             {table + "qsort_words\t2\t\t9\texact\tm\tw2.bin\n", ":3: elements, bytes and cost must be whole numbers above 0"},
             {table + "qsort_words\t\t8\t9\texact\tm\tw2.bin\n", ":3: elements, bytes and cost must be whole numbers above 0"},
             {table + "qsort_words\t2\t9\t9\texact\tm\tw2.bin\n", ":3: bytes is not elements times the element size"},
             {table + "qsort_words\t2\t8\t9\tproven\tm\tw2.bin\n", ":3: status must be exact or best-known"},
             {table + "qsort_words\t2\t8\t9\texact\t\tw2.bin\n", ":3: the method is empty"},
             {table + "qsort_words\t2\t8\t9\texact\tm\t../w2.bin\n", ":3: the file must be a path inside the records folder"},
             {table + "qsort_words\t2\t8\t9\texact\tm\tw2\\q.bin\n", ":3: a backslash that starts no escape (\\\\, \\t, \\n or \\r)"},
         }) {
        dir.write("records/records.tsv", text);
        auto run = run_program(CEILING_PATH, {"--records", records, "record", "qsort_words", good, "m"});
        EXPECT_EQ(run.status, 1) << why;
        EXPECT_EQ(run.err, r + records + "/records.tsv" + why + "\n");
        EXPECT_EQ(file_text(records + "/records.tsv"), text) << why;
    }
}

// Two rows may share one file: replacing one keeps the file the other names.
TEST(CeilingTool, RecordKeepsAFileAnotherRowNames) {
    scratch_dir dir;
    const std::string records = dir.path + "/records";
    ASSERT_EQ(mkdir(records.c_str(), 0700), 0);
    dir.write("records/records.tsv", "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n"
                                     "qsort_words\t3\t12\t13\tbest-known\tm\tshared.bin\n"
                                     "isort_words\t3\t12\t13\tbest-known\tm\tshared.bin\n");
    dir.write("records/shared.bin", words_bytes({1, 2, 3}));
    const std::string costly = dir.write("three", words_bytes({0, 2, 0x80000000u}));
    auto r = run_program(CEILING_PATH, {"--records", records, "record", "qsort_words", costly, "m"});
    EXPECT_EQ(r.out, "qsort_words n=3 cost=37 exact: qsort_words/n00003-c37.bin\n") << r.err;
    EXPECT_EQ(file_text(records + "/shared.bin"), words_bytes({1, 2, 3})) << "another row names it";
}

// An installed copy whose records cannot be read as it is copied leaves no
// folder of one's own behind (else it would be preferred from then on).
TEST(CeilingTool, RecordsCopiedWholeOrNotAtAll) {
    scratch_dir dir;
    const std::string prefix = dir.path + "/prefix", installed = prefix + "/share/sortcost/records";
    ASSERT_TRUE(std::filesystem::create_directories(prefix + "/bin"));
    ASSERT_TRUE(std::filesystem::create_directories(installed));
    std::filesystem::copy_file(CEILING_PATH, prefix + "/bin/sortcost-ceiling");
    dir.write("prefix/share/sortcost/records/records.tsv", "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n"
                                                           "qsort_words\t2\t8\t12\texact\tm\tw2.bin\n");
    ASSERT_EQ(mkfifo((installed + "/w2.bin").c_str(), 0600), 0);  // cannot be read as a file
    const std::string home = dir.path + "/home";
    ASSERT_EQ(mkdir(home.c_str(), 0700), 0);
    const std::string input = dir.write("three", words_bytes({0, 2, 0x80000000u}));
    const std::string saved_home = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    auto r = run_program(prefix + "/bin/sortcost-ceiling", {"record", "qsort_words", input, "m"});
    setenv("HOME", saved_home.c_str(), 1);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sortcost-ceiling: " + prefix + "/bin/../share/sortcost/records/w2.bin: not a regular file\n");
    EXPECT_FALSE(std::filesystem::exists(home + "/.local/share/sortcost/records"));
    EXPECT_TRUE(std::filesystem::is_empty(home + "/.local/share/sortcost")) << "no half copy is left";
}

// A full disk (a file-size limit here) leaves every line of the records.
TEST(CeilingTool, RecordOnAFullDiskLosesNothing) {
    scratch_dir dir;
    std::string records = dir.path + "/records";
    ASSERT_EQ(mkdir(records.c_str(), 0700), 0);
    std::string table = "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n";
    for (int n = 1; n <= 60; ++n)
        table += "qsort_bytes\t" + std::to_string(n) + "\t" + std::to_string(n) + "\t1\tbest-known\tpadding\tb.bin\n";
    dir.write("records/records.tsv", table);
    std::string input = dir.write("in", words_bytes({5, 4, 3, 2, 1}));
    auto r = run_program(CEILING_PATH, {"--records", records, "record", "qsort_words", input, "m"},
                         {.file_size_limit = 2048});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sortcost-ceiling: " + records + "/records.tsv: File too large\n");
    EXPECT_EQ(file_text(records + "/records.tsv"), table);
}

// Two records at once both land.
TEST(CeilingTool, ConcurrentRecordsBothLand) {
    scratch_dir dir;
    std::string records = dir.path + "/records";
    ASSERT_EQ(mkdir(records.c_str(), 0700), 0);
    std::vector<std::string> inputs;
    for (std::uint32_t n = 11; n <= 18; ++n) {
        std::vector<std::uint32_t> words;
        for (std::uint32_t i = 0; i < n; ++i) words.push_back(n - i);
        inputs.push_back(dir.write("in" + std::to_string(n), words_bytes(words)));
    }
    std::vector<std::thread> runs;
    for (const std::string& in : inputs)
        runs.emplace_back([&, in] { run_program(CEILING_PATH, {"--records", records, "record", "qsort_words", in, "m"}); });
    for (auto& t : runs) t.join();
    std::string table = file_text(records + "/records.tsv");
    for (std::uint32_t n = 11; n <= 18; ++n)
        EXPECT_NE(table.find("qsort_words\t" + std::to_string(n) + "\t"), std::string::npos) << n << "\n" << table;
}

}  // namespace
