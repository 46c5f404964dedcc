// SPDX-License-Identifier: MIT
// sortcost-search: it reaches the exact maxima of small inputs, its inputs
// cost what it says through the programs, a seeded run repeats, and it keeps
// a record only by beating it.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "program_runner.h"

namespace {

// The exact rows of the records: program and n to the maximum.
std::map<std::pair<std::string, int>, std::string> exact_maxima() {
    std::map<std::pair<std::string, int>, std::string> out;
    for (const auto& f : tsv_rows(file_text(std::string(RECORDS_DIR) + "/records.tsv")))
        if (f.size() == 7 && f[4] == "exact") out[{f[0], std::stoi(f[1])}] = f[3];
    return out;
}

const std::map<std::string, std::string> programs = {{"qsort_words", QSORT_WORDS_PATH}, {"qsort_bytes", QSORT_BYTES_PATH}};

TEST(Search, ReachesTheExactMaxima) {
    const auto maxima = exact_maxima();
    scratch_dir dir;
    for (const auto& [program, exe] : programs) {
        for (int n = 1; n <= 7; ++n) {
            const std::string& max = maxima.at({program, n});
            const std::string out = dir.path + "/" + program + std::to_string(n);
            auto r = run_program(SEARCH_PATH, {program, std::to_string(n), "--fresh", "--threads", "1", "--time", "60",
                                               "--target", max, "--out", out});
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out.rfind(program + " n=" + std::to_string(n) + " cost=" + max + " exact maximum (", 0), 0u)
                << r.out;
            EXPECT_EQ(run_program(exe, {out}).out, "[COST] " + max + "\n") << program << " " << n;
        }
    }
}

TEST(Search, SeededRunRepeats) {
    scratch_dir dir;
    for (const char* program : {"qsort_words", "qsort_bytes"}) {
        std::vector<std::string> found;
        for (int run = 0; run < 2; ++run) {
            const std::string out = dir.path + "/run" + std::to_string(run);
            auto r = run_program(SEARCH_PATH, {program, "24", "--fresh", "--threads", "1", "--seed", "7", "--time", "0",
                                               "--evaluations", "30000", "--out", out});
            EXPECT_EQ(r.status, 0) << r.err;
            found.push_back(file_text(out));
            EXPECT_EQ(found.back().size(), std::string(program) == "qsort_bytes" ? 24u : 96u);
        }
        EXPECT_EQ(found[0], found[1]) << program;
    }
}

TEST(Search, KeepsARecordOnlyByBeatingIt) {
    scratch_dir dir;
    ASSERT_EQ(mkdir((dir.path + "/records").c_str(), 0700), 0);
    // A weak record for 16 words: the words 0 to 15 in order.
    std::vector<std::uint32_t> sorted;
    for (std::uint32_t i = 0; i < 16; ++i) sorted.push_back(i);
    auto weak = run_program(QSORT_WORDS_PATH, {dir.write("sorted", words_bytes(sorted))});
    const std::string weak_cost = weak.out.substr(7, weak.out.size() - 8);
    dir.write("records/records.tsv", "program\telements\tbytes\tcost\tstatus\tmethod\tfile\n"
                                     "qsort_words\t16\t64\t" + weak_cost + "\tbest-known\tin order\tw16.bin\n");
    dir.write("records/w16.bin", words_bytes(sorted));
    auto r = run_program(SEARCH_PATH, {"qsort_words", "16", "--records", dir.path + "/records", "--time", "2"});
    EXPECT_EQ(r.status, 0) << r.err;
    auto cost_at = r.out.find(" cost=");
    ASSERT_NE(cost_at, std::string::npos) << r.out;
    const std::string cost = r.out.substr(cost_at + 6, r.out.find(' ', cost_at + 6) - cost_at - 6);
    EXPECT_GT(std::stoull(cost), std::stoull(weak_cost));
    const std::string file = "qsort_words/n00016-c" + cost + ".bin";
    EXPECT_NE(r.out.find("qsort_words n=16 cost=" + cost + " best-known: " + file + "\n"), std::string::npos) << r.out;
    EXPECT_EQ(run_program(QSORT_WORDS_PATH, {dir.path + "/records/" + file}).out, "[COST] " + cost + "\n");
    const std::string table = file_text(dir.path + "/records/records.tsv");
    EXPECT_NE(table.find("\tbest-known\tsortcost-search qsort_words 16 "), std::string::npos) << table;
    // Where the best came from, and what it beat.
    EXPECT_NE(table.find(" s, searched from "), std::string::npos) << table;
    EXPECT_NE(table.find("; above the record then held (cost " + weak_cost + ")\t"), std::string::npos) << table;
}

// With --starts the walk begins at the given inputs and nothing else: one
// costing of all zeros finds what all zeros cost, not a construction.
TEST(Search, StartsFromTheGivenInputsAlone) {
    scratch_dir dir;
    ASSERT_EQ(mkdir((dir.path + "/starts").c_str(), 0700), 0);
    const std::string zeros = dir.write("starts/zeros", std::string(64, '\0'));
    const std::string zeros_cost = run_program(QSORT_WORDS_PATH, {zeros}).out.substr(7);
    dir.write("starts/short", std::string(8, '\0'));  // followed by zeros: the same input
    const std::vector<std::string> once = {"qsort_words", "16", "--threads", "1", "--time", "0", "--evaluations", "1",
                                           "--out", dir.path + "/best"};
    struct row {
        std::vector<std::string> more;
        bool as_zeros;
    };
    for (const row& r : std::vector<row>{{{"--starts", dir.path + "/starts"}, true},
                                         {{"--starts", dir.path + "/starts", "--threads", "3"}, true},
                                         {{"--starts", dir.path + "/starts", "--fresh"}, false},
                                         {{"--fresh"}, false}}) {
        std::vector<std::string> args = once;
        args.insert(args.end(), r.more.begin(), r.more.end());
        auto out = run_program(SEARCH_PATH, args);
        EXPECT_EQ(out.status, 0) << out.err;
        EXPECT_EQ(run_program(QSORT_WORDS_PATH, {dir.path + "/best"}).out.substr(7) == zeros_cost, r.as_zeros)
            << r.more.back();
    }
}

TEST(Search, CommandLines) {
    scratch_dir dir;
    ASSERT_EQ(mkdir((dir.path + "/empty").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir.path + "/long").c_str(), 0700), 0);
    dir.write("long/six", std::string(24, '\1'));
    const std::string s = "sortcost-search: ", help = "Try 'sortcost-search --help'.\n";
    check_rows(SEARCH_PATH,
               {
                   {{"--help"}, 0, "Usage: sortcost-search [OPTION]... PROGRAM N\n...", ""},
                   // isort_words has a closed form: every pair out of order.
                   {{"isort_words", "100", "--out", "@/i100"}, 0, "isort_words n=100 cost=5154 exact maximum (...", ""},
                   {{"qsort_words"}, 2, "", s + "give PROGRAM and N\n" + help},
                   {{"bubble_words", "5"}, 2, "", s + "no such program: 'bubble_words' (isort_words, qsort_words or qsort_bytes)\n" + help},
                   {{"qsort_words", "0"}, 2, "", s + "N must be a whole number from 1 to 16384, not '0'\n" + help},
                   {{"qsort_words", "5", "--time", "0"}, 2, "", s + "with --time 0, give --target or --evaluations, or it never stops\n" + help},
                   {{"qsort_words", "5", "--threads", "0"}, 2, "", s + "--threads must be a whole number from 1 to 1024, not '0'\n" + help},
                   {{"qsort_words", "5", "--records", "@/missing"}, 1, "", s + "--records @/missing: No such file or directory\n"},
                   {{"qsort_words", "5", "--records", "@/i100"}, 1, "", s + "--records @/i100: Not a directory\n"},
                   {{"qsort_words", "5", "--corpus", "@/i100"}, 1, "", s + "--corpus @/i100: Not a directory\n"},
                   {{"qsort_words", "5", "--starts", "@/missing"}, 1, "", s + "--starts @/missing: No such file or directory\n"},
                   {{"qsort_words", "5", "--starts", "@/empty"}, 1, "", s + "@/empty: no input in it\n"},
                   {{"qsort_words", "5", "--starts", "@/long"}, 1, "", s + "@/long/six: more than 5 elements\n"},

               },
               dir);
    EXPECT_EQ(run_program(ISORT_WORDS_PATH, {dir.path + "/i100"}).out, "[COST] 5154\n");
}

}  // namespace
