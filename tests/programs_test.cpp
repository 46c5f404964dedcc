// SPDX-License-Identifier: MIT
// The three programs as a user runs them: exit status, standard output and
// standard error, each checked exactly.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "program_runner.h"

namespace {

const std::string isort_words = ISORT_WORDS_PATH;
const std::string qsort_words = QSORT_WORDS_PATH;
const std::string qsort_bytes = QSORT_BYTES_PATH;

struct run_case {
    const char* name;
    const std::string& exe;
    std::optional<std::string> input;  // the input file's bytes; none: a missing file
    int status;
    const char* out;
    const char* err;
};

class Programs : public ::testing::TestWithParam<run_case> {};

TEST_P(Programs, Report) {
    const run_case& c = GetParam();
    scratch_dir dir;
    std::string path = c.input ? dir.write("in", *c.input) : dir.path + "/missing";
    auto r = run_program(c.exe, {path});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err, c.err);
}

const std::string pangram = "the quick brown fox jumps over the lazy dog\n";
const std::string hello = "hello world";
const std::string two_one = words_bytes({2, 1});
const std::string three_trailing("\0\0\x01", 3);
constexpr const char* enoent = "open_file: No such file or directory\n";

INSTANTIATE_TEST_SUITE_P(
    Inputs, Programs,
    ::testing::Values(
        // isort_words: 2 * words + 4 + exchanges; a read failure is exit status 255.
        run_case{"isort_missing", isort_words, {}, 255, "[COST] 2\n",
                 "open_file: No such file or directory\nreadfile: No such file or directory\n"},
        run_case{"isort_empty", isort_words, "", 255, "[COST] 2\n", "fread: Success\nreadfile: Success\n"},
        run_case{"isort_one_byte", isort_words, "\x01", 0, "[COST] 4\n", ""},
        run_case{"isort_three_bytes", isort_words, "\xff\xfe\xfd", 0, "[COST] 4\n", ""},
        run_case{"isort_one_word", isort_words, words_bytes({7}), 0, "[COST] 6\n", ""},
        run_case{"isort_two_one", isort_words, two_one, 0, "[COST] 9\n", ""},
        run_case{"isort_trailing", isort_words, two_one + three_trailing, 0, "[COST] 9\n", ""},
        run_case{"isort_descending", isort_words, words_bytes({5, 4, 3, 2, 1}), 0, "[COST] 24\n", ""},
        run_case{"isort_ascending", isort_words, words_bytes({1, 2, 3, 4, 5}), 0, "[COST] 14\n", ""},
        run_case{"isort_unsigned", isort_words, words_bytes({0x80000000u, 1, 0x7FFFFFFFu, 3}), 0, "[COST] 16\n", ""},
        run_case{"isort_pangram", isort_words, pangram, 0, "[COST] 52\n", ""},
        // qsort_*: 3 + the sort's steps; always exit status 0.
        run_case{"qwords_missing", qsort_words, {}, 0, "[COST] 2\n", enoent},
        run_case{"qwords_empty", qsort_words, "", 0, "[COST] 2\n", "fread: Success\n"},
        run_case{"qwords_one_byte", qsort_words, "\x01", 0, "[COST] 4\n", ""},
        run_case{"qwords_three_bytes", qsort_words, "abc", 0, "[COST] 4\n", ""},
        run_case{"qwords_one_word", qsort_words, words_bytes({7}), 0, "[COST] 6\n", ""},
        run_case{"qwords_two_one", qsort_words, two_one, 0, "[COST] 12\n", ""},
        run_case{"qwords_trailing", qsort_words, two_one + three_trailing, 0, "[COST] 12\n", ""},
        run_case{"qwords_ten", qsort_words, words_bytes({9, 1, 8, 2, 7, 3, 6, 4, 5, 0}), 0, "[COST] 140\n", ""},
        run_case{"qwords_wrapped", qsort_words, words_bytes({0, 1, 0x80000000u}), 0, "[COST] 37\n", ""},
        // Words 2^31 apart: each orders before the other, so the argument
        // order of every comparison shows in the cost.
        run_case{"qwords_half_turn", qsort_words, words_bytes({0, 0x40000000u, 0x80000000u, 0x40000001u, 0x40000000u}), 0,
                 "[COST] 97\n", ""},
        run_case{"qwords_pangram", qsort_words, pangram, 0, "[COST] 178\n", ""},
        run_case{"qbytes_missing", qsort_bytes, {}, 0, "[COST] 2\n", enoent},
        run_case{"qbytes_empty", qsort_bytes, "", 0, "[COST] 2\n", "fread: Success\n"},
        run_case{"qbytes_one_byte", qsort_bytes, "\x01", 0, "[COST] 6\n", ""},
        run_case{"qbytes_hello", qsort_bytes, hello, 0, "[COST] 126\n", ""},
        run_case{"qbytes_pangram", qsort_bytes, pangram, 0, "[COST] 670\n", ""}),
    [](const auto& info) { return std::string(info.param.name); });

class EachProgram : public ::testing::TestWithParam<std::string> {};

TEST_P(EachProgram, NoInputPathPrintsUsageForOneStep) {
    auto r = run_program(GetParam(), {});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "[COST] 1\n");
    EXPECT_EQ(r.err, "Usage: " + GetParam() + " <input file>\n");
}

TEST_P(EachProgram, ExtraArgumentsAreIgnored) {
    scratch_dir dir;
    std::string path = dir.write("in", two_one);
    auto alone = run_program(GetParam(), {path});
    auto r = run_program(GetParam(), {path, "--flag", path});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, alone.out);
    EXPECT_EQ(r.err, "");
}

// A 128 MiB input fits under a 192 MiB address space; a copy of it does not.
TEST_P(EachProgram, CopyThatCannotBeAllocatedReportsBuf) {
    if (address_sanitizer) GTEST_SKIP() << "AddressSanitizer reserves more address space than the limit";
    constexpr std::uint64_t mib = 1 << 20;
    scratch_dir dir;
    std::string path = dir.write("in", "");
    ASSERT_EQ(truncate(path.c_str(), 128 * mib), 0);
    auto r = run_program(GetParam(), {path}, {.address_space_limit = 192 * mib});
    bool isort = GetParam() == isort_words;
    EXPECT_EQ(r.status, isort ? 255 : 0);
    EXPECT_EQ(r.out, isort ? "[COST] 2\n" : "[COST] 3\n");
    EXPECT_EQ(r.err, "buf: Cannot allocate memory\n");
}

TEST_P(EachProgram, PathWithSpacesAndNonAsciiBytes) {
    scratch_dir dir;
    std::string plain = run_program(GetParam(), {dir.write("plain", hello)}).out;
    auto r = run_program(GetParam(), {dir.write("in put \xc3\xa9\xff\x01 .bin", hello)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, plain);
    EXPECT_EQ(r.err, "");
}

// Checks a read failure: the reader's one line, which isort_words repeats
// with its own tag, and the cost of main and read_file.
void expect_read_failure(const program_result& r, const std::string& exe, const std::string& reader_line) {
    bool isort = exe == isort_words;
    std::string reason = reader_line.substr(reader_line.find(": ") + 2);
    EXPECT_EQ(r.status, isort ? 255 : 0);
    EXPECT_EQ(r.out, "[COST] 2\n");
    EXPECT_EQ(r.err, reader_line + (isort ? "readfile: " + reason : ""));
}

// The report is the only product: when it cannot be written the run failed.
TEST_P(EachProgram, ReportThatCannotBeWrittenIsAFailure) {
    scratch_dir dir;
    std::string path = dir.write("in", two_one);
    struct {
        stdout_to out;
        const char* err;
    } cases[] = {{stdout_to::dev_full, "report: No space left on device\n"},
                 {stdout_to::closed, "report: Bad file descriptor\n"}};
    for (auto& c : cases) {
        auto r = run_program(GetParam(), {path}, {.out = c.out});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, c.err);
    }
}

// Opening a FIFO nobody writes to must not wait for a writer.
TEST_P(EachProgram, FifoWithoutWriterFailsAtOnce) {
    scratch_dir dir;
    std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto r = run_program(GetParam(), {fifo}, {.time_limit_seconds = 20});
    expect_read_failure(r, GetParam(), "seek_end: Illegal seek\n");
}

TEST_P(EachProgram, FifoCannotSeek) {
    scratch_dir dir;
    std::string fifo = dir.path + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    int writer = open(fifo.c_str(), O_RDWR);  // a writer, so opening to read does not wait
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "abcdefgh", 8), 8);
    expect_read_failure(run_program(GetParam(), {fifo}), GetParam(), "seek_end: Illegal seek\n");
    close(writer);
}

TEST_P(EachProgram, DevNullReadsNothing) {
    expect_read_failure(run_program(GetParam(), {"/dev/null"}), GetParam(), "fread: Success\n");
}

TEST_P(EachProgram, SparseFileLargerThanMemoryCannotBeAllocated) {
    if (kernel_always_overcommits()) GTEST_SKIP() << "the kernel would grant the allocation";
    scratch_dir dir;
    std::string path = dir.write("huge", "");
    ASSERT_EQ(truncate(path.c_str(), std::int64_t{1} << 42), 0);  // 4 TiB
    expect_read_failure(run_program(GetParam(), {path}), GetParam(), "malloc: Cannot allocate memory\n");
}

// What a directory gives depends on the file system (ext4 reports a huge end
// position, others refuse to seek or to read); it is always one clean failure.
TEST_P(EachProgram, DirectoryIsAReadFailure) {
    scratch_dir dir;
    auto r = run_program(GetParam(), {dir.path});
    std::string first = r.err.substr(0, r.err.find('\n') + 1);
    std::string tag = first.substr(0, first.find(':'));
    EXPECT_TRUE(tag == "seek_end" || tag == "ftell" || tag == "malloc" || tag == "fread") << r.err;
    expect_read_failure(r, GetParam(), first);
}

INSTANTIATE_TEST_SUITE_P(All, EachProgram, ::testing::Values(isort_words, qsort_words, qsort_bytes),
                         [](const auto& info) { return info.param.substr(info.param.rfind('/') + 1); });

}  // namespace
