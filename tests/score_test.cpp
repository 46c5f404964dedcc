// SPDX-License-Identifier: MIT
// sortcost-score against the programs themselves: every cost it prints is
// what the program prints for that file, hostile files included.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "program_runner.h"

namespace {

std::vector<std::vector<std::string>> tsv_rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        std::istringstream f(line);
        for (std::string field; std::getline(f, field, '\t');) fields.push_back(field);
        if (!line.empty() && line.back() == '\t') fields.emplace_back();
        rows.push_back(fields);
    }
    return rows;
}

std::string reported(const std::string& exe, const std::string& path) {
    std::string out = run_program(exe, {path}).out;
    return out.substr(7, out.size() - 8);  // "[COST] N\n"
}

TEST(Score, EveryCostIsWhatTheProgramPrints) {
    scratch_dir dir;
    std::mt19937 rng(3);
    // Sizes on both sides of where isort_words' cost is counted instead of sorted.
    std::vector<std::string> files;
    for (std::size_t size : {1, 5, 64, 1023, 1024, 1027, 5000}) {
        std::string bytes(size, '\0');
        for (auto& c : bytes) c = static_cast<char>(rng() % (size % 2 ? 256 : 3));
        files.push_back(dir.write("f" + std::to_string(size), bytes));
    }
    ASSERT_EQ(mkdir((dir.path + "/sub").c_str(), 0700), 0);
    dir.write("sub/inner", "the quick brown fox");
    dir.write("empty", "");
    ASSERT_EQ(symlink("/nonexistent/sortcost", (dir.path + "/dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((dir.path + "/fifo").c_str(), 0600), 0);

    auto r = run_program(SCORE_PATH, {dir.path}, {.time_limit_seconds = 60});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sortcost-score: " + dir.path + "/dangling: open_file: No such file or directory\n" +
                         "sortcost-score: " + dir.path + "/fifo: seek_end: Illegal seek\n");
    auto rows = tsv_rows(r.out);
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows[0], (std::vector<std::string>{"path", "bytes", "isort_words", "qsort_words", "qsort_bytes"}));
    std::vector<std::string> order;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        const auto& row = rows[i];
        ASSERT_EQ(row.size(), 5u) << r.out;
        order.push_back(row[0].substr(dir.path.size() + 1));
        struct stat st;
        bool regular = stat(row[0].c_str(), &st) == 0 && S_ISREG(st.st_mode);
        EXPECT_EQ(row[1], regular ? std::to_string(st.st_size) : "") << row[0];
        EXPECT_EQ(row[2], reported(ISORT_WORDS_PATH, row[0])) << row[0];
        EXPECT_EQ(row[3], reported(QSORT_WORDS_PATH, row[0])) << row[0];
        EXPECT_EQ(row[4], reported(QSORT_BYTES_PATH, row[0])) << row[0];
    }
    EXPECT_EQ(order, (std::vector<std::string>{"dangling", "empty", "f1", "f1023", "f1024", "f1027", "f5", "f5000",
                                               "f64", "fifo", "sub/inner"}));
}

TEST(Score, ChosenColumnsAsJsonLines) {
    scratch_dir dir;
    std::string path = dir.write("two \"words\"", words_bytes({2, 1}));
    auto r = run_program(SCORE_PATH, {"--json", "--program", "qsort_words", "--program=isort_words", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    std::string quoted = dir.path + "/two \\\"words\\\"";
    EXPECT_EQ(r.out, "{\"path\":\"" + quoted + "\",\"bytes\":8,\"qsort_words\":12,\"isort_words\":9}\n");
}

// A cost that cannot be computed (no memory for the sorting copy) is a
// failure row, with the step named and status 1, never a cost of its own.
TEST(Score, NoMemoryForTheCopyIsAFailure) {
    if (address_sanitizer) GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
    scratch_dir dir;
    // 64 MiB of zeros: the reader's buffer fits in the limit, the copy does not.
    std::string path = dir.write("big", "");
    ASSERT_EQ(truncate(path.c_str(), 64 << 20), 0);
    auto r = run_program(SCORE_PATH, {"-j", "1", "--program", "qsort_bytes", "--json", path},
                         {.address_space_limit = 100u << 20});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "sortcost-score: " + path + ": buf: Cannot allocate memory\n");
    EXPECT_EQ(r.out, "{\"path\":\"" + path + "\",\"bytes\":67108864,\"qsort_bytes\":0,\"error\":\"buf: Cannot allocate memory\"}\n");
}

const std::string try_help = "Try 'sortcost-score --help'.\n";

TEST(Score, CommandLines) {
    scratch_dir dir;
    dir.write("two", words_bytes({2, 1}));
    ASSERT_EQ(mkdir((dir.path + "/corpus").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dir.path + "/corpus/.state").c_str(), 0700), 0);
    dir.write("corpus/a\tb\nc", "x");
    dir.write("corpus/not utf-8 \xff \"q\"", "y");
    dir.write("corpus/.state/copy", "z");
    ASSERT_EQ(symlink("/nonexistent", (dir.path + "/corpus/dangling\nlink").c_str()), 0);
    const std::string head = "path\tbytes\tisort_words\tqsort_words\tqsort_bytes\n";
    const std::string s = "sortcost-score: ";
    check_rows(SCORE_PATH,
               {
                   {{"--help"}, 0, "Usage: sortcost-score [--program NAME]... [--json] [--hidden] [-j N] PATH...\n...", ""},
                   {{"--version"}, 0, std::string("sortcost-score ") + SORTCOST_VERSION + "\n", ""},
                   {{}, 2, "", s + "no path to score\n" + try_help},
                   {{"--program", "bubble_words", "x"}, 2, "",
                    s + "no such program: 'bubble_words' (isort_words, qsort_words or qsort_bytes)\n" + try_help},
                   {{"--frobnicate", "x"}, 2, "", s + "unknown option '--frobnicate'\n" + try_help},
                   {{"-j", "0", "x"}, 2, "", s + "--jobs must be a whole number from 1 to 1024, not '0'\n" + try_help},
                   {{"--jobs=1025", "x"}, 2, "", s + "--jobs must be a whole number from 1 to 1024, not '1025'\n" + try_help},
                   {{"-jx", "x"}, 2, "", s + "--jobs must be a whole number from 1 to 1024, not 'x'\n" + try_help},
                   {{"x", "-j"}, 2, "", s + "option '--jobs' needs a value\n" + try_help},
                   {{"--json=yes", "x"}, 2, "", s + "option '--json' takes no value\n" + try_help},
                   // Options anywhere; repeats of a program count once, in the order given.
                   {{"@/two", "--program", "qsort_words", "-j1", "--program=isort_words", "--program", "qsort_words"}, 0,
                    "path\tbytes\tqsort_words\tisort_words\n@/two\t8\t12\t9\n", ""},
                   // After "--", an option's name is a path.
                   {{"--program", "qsort_bytes", "--", "--json"}, 1, "path\tbytes\tqsort_bytes\n--json\t\t2\n",
                    s + "--json: open_file: No such file or directory\n"},
                   // Names beginning with "." inside a folder only with --hidden;
                   // paths escaped in rows and diagnostics alike.
                   {{"--program", "qsort_bytes", "@/corpus"}, 1,
                    "path\tbytes\tqsort_bytes\n@/corpus/a\\tb\\nc\t1\t6\n@/corpus/dangling\\nlink\t\t2\n"
                    "@/corpus/not utf-8 \xff \"q\"\t1\t6\n",
                    s + "@/corpus/dangling\\nlink: open_file: No such file or directory\n"},
                   {{"--hidden", "--program", "qsort_bytes", "--json", "@/corpus/.state", "@/corpus/not utf-8 \xff \"q\""}, 0,
                    "{\"path\":\"@/corpus/.state/copy\",\"bytes\":1,\"qsort_bytes\":6}\n"
                    "{\"path\":\"@/corpus/not utf-8 \\udcff \\\"q\\\"\",\"bytes\":1,\"qsort_bytes\":6}\n",
                    ""},
                   // A read that ends short of the size is a failure row.
                   {{"--program", "isort_words", "/dev/zero"}, 1, "path\tbytes\tisort_words\n/dev/zero\t\t2\n",
                    s + "/dev/zero: fread: empty, or shorter than its size\n"},
               },
               dir);
    auto full = run_program(SCORE_PATH, {dir.path + "/two"}, {.out = stdout_to::dev_full});
    EXPECT_EQ(full.status, 1);
    EXPECT_EQ(full.err, s + "standard output: No space left on device\n");
}

// Thousands of files give the same rows, byte for byte, whatever the number
// of workers; a worker killed while it scores loses no row: the first
// process makes its rows, and the run ends as soon as the rest are done.
TEST(Score, WorkersGiveTheRowsOfOne) {
    scratch_dir dir;
    std::mt19937 rng(11);
    ASSERT_EQ(mkdir((dir.path + "/many").c_str(), 0700), 0);
    for (int i = 0; i < 3000; ++i) {
        std::string bytes(rng() % 200, '\0');
        for (auto& c : bytes) c = static_cast<char>(rng());
        dir.write("many/f" + std::to_string(i), bytes);
    }
    dir.write("many/empty", "");
    ASSERT_EQ(symlink("/nonexistent/sortcost", (dir.path + "/many/dangling").c_str()), 0);
    const auto one = run_program(SCORE_PATH, {"-j", "1", dir.path + "/many"});
    ASSERT_EQ(one.status, 1);
    for (const char* jobs : {"2", "3"}) {
        const auto r = run_program(SCORE_PATH, {"-j", jobs, dir.path + "/many"});
        EXPECT_EQ(r.out, one.out) << jobs;
        EXPECT_EQ(r.err, one.err) << jobs;
    }

    ASSERT_EQ(mkdir((dir.path + "/large").c_str(), 0700), 0);
    for (int i = 0; i < 300; ++i) {
        std::string bytes(65536, '\0');
        for (auto& c : bytes) c = static_cast<char>(rng());
        dir.write("large/f" + std::to_string(i), bytes);
    }
    const auto alone = run_program(SCORE_PATH, {"-j", "1", "--program", "qsort_bytes", dir.path + "/large"});
    bool killed = false;
    const auto start = std::chrono::steady_clock::now();
    const auto r = run_program(SCORE_PATH, {"-j", "3", "--program", "qsort_bytes", dir.path + "/large"},
                               {.time_limit_seconds = 60, .meanwhile = [&](pid_t pid) {
                                    const std::string children = "/proc/" + std::to_string(pid) + "/task/" +
                                                                 std::to_string(pid) + "/children";
                                    for (int tries = 0; tries < 2000 && !killed; ++tries) {
                                        std::ifstream in(children);
                                        pid_t worker = 0;
                                        // Once it has had time to take files of its own.
                                        if (in >> worker && worker > 0) usleep(50000), killed = kill(worker, SIGKILL) == 0;
                                        else usleep(1000);
                                    }
                                }});
    EXPECT_TRUE(killed) << "no worker to kill";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, alone.out);
}

// A file whose size says more than it holds, as sysfs files do.
TEST(Score, ShortReadIsAFailure) {
    const std::string sysfs = "/sys/devices/system/cpu/online";
    struct stat st;
    if (stat(sysfs.c_str(), &st) != 0 || st.st_size == 0) GTEST_SKIP() << "no sysfs file that claims a size";
    auto r = run_program(SCORE_PATH, {"--program", "qsort_bytes", sysfs});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "path\tbytes\tqsort_bytes\n" + sysfs + "\t\t2\n");
    EXPECT_EQ(r.err, "sortcost-score: " + sysfs + ": fread: empty, or shorter than its size\n");
}

}  // namespace
