// SPDX-License-Identifier: MIT
#include "ioutil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "Hooks.h"
#include "program_runner.h"

// The unit tests are linked with ftell and fseek wrapped (--wrap), so that the
// failures no real file gives can be reached: while armed, ftell fails, or
// fseek back to the start fails, with the error number given.
using sortcost::cost_read;

namespace {
int ftell_fails_with = 0;
int seek_set_fails_with = 0;
}  // namespace

extern "C" {
long __real_ftell(std::FILE* f);
int __real_fseek(std::FILE* f, long offset, int whence);

long __wrap_ftell(std::FILE* f) {
    if (!ftell_fails_with) return __real_ftell(f);
    errno = ftell_fails_with;
    return -1;
}

int __wrap_fseek(std::FILE* f, long offset, int whence) {
    if (!seek_set_fails_with || whence != SEEK_SET) return __real_fseek(f, offset, whence);
    errno = seek_set_fails_with;
    return -1;
}
}

namespace {

std::string random_bytes(std::size_t n) {
    std::mt19937 rng(static_cast<unsigned>(n));
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
}

class ReadFileSizes : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ReadFileSizes, ReadsEveryByteAsStoredForOneStep) {
    scratch_dir dir;
    // CR, LF and NUL bytes included: nothing is translated.
    std::string bytes = std::string("\r\n\0", 3) + random_bytes(GetParam());
    bytes.resize(GetParam());
    std::string path = dir.write("f", bytes);

    unsigned char* buf = nullptr;
    std::uint64_t before = cost_read();
    std::int64_t size = read_file(path.c_str(), &buf);
    EXPECT_EQ(cost_read() - before, 1u);
    ASSERT_EQ(size, static_cast<std::int64_t>(bytes.size()));
    ASSERT_NE(buf, nullptr);
    EXPECT_EQ(std::memcmp(buf, bytes.data(), bytes.size()), 0);
    std::free(buf);
}

TEST_P(ReadFileSizes, StrVariantAppendsAZeroByteNotCounted) {
    scratch_dir dir;
    std::string bytes = random_bytes(GetParam());
    std::string path = dir.write("f", bytes);

    char* buf = nullptr;
    std::uint64_t before = cost_read();
    std::int64_t size = read_file_str(path.c_str(), &buf);
    EXPECT_EQ(cost_read() - before, 1u);
    ASSERT_EQ(size, static_cast<std::int64_t>(bytes.size()));
    EXPECT_EQ(std::memcmp(buf, bytes.data(), bytes.size()), 0);
    EXPECT_EQ(buf[bytes.size()], '\0');
    std::free(buf);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ReadFileSizes, ::testing::Values(1, 2, 3, 4, 5, 4096, 100003));

// Every failure: its code, exactly one perror line naming the error of the
// failed step (not one left over from before), one cost step, and the
// caller's pointer untouched.
struct failure_case {
    const char* name;
    std::int64_t code;
    const char* stderr_text;
};

class ReadFileFailures : public ::testing::TestWithParam<failure_case> {
protected:
    // Makes the file the case is about and returns its path.
    std::string make(const std::string& name) {
        if (name == "missing") return dir.path + "/missing";
        if (name == "empty") return dir.write("empty", "");
        if (name == "dev_null") return "/dev/null";
        if (name == "fifo") {
            // Holding it open for writing lets the reader open it at once.
            std::string p = dir.path + "/fifo";
            EXPECT_EQ(mkfifo(p.c_str(), 0600), 0);
            writer = open(p.c_str(), O_RDWR);
            return p;
        }
        if (name == "ftell_fails") {
            ftell_errno = EOVERFLOW;
            return dir.write("f", "abcd");
        }
        if (name == "seek_set_fails") {
            seek_set_errno = EIO;
            return dir.write("f", "abcd");
        }
        if (name == "huge_sparse") {
            // Far larger than memory; only its length exists on disk.
            std::string p = dir.write("huge", "");
            EXPECT_EQ(truncate(p.c_str(), std::int64_t{1} << 42), 0);
            return p;
        }
        ADD_FAILURE() << name;
        return {};
    }
    void TearDown() override {
        if (writer >= 0) close(writer);
    }
    scratch_dir dir;
    int writer = -1;
    int ftell_errno = 0;  // armed only around the read: capturing stderr seeks too
    int seek_set_errno = 0;
};

TEST_P(ReadFileFailures, ReportsCodeAndLineAndKeepsPointer) {
    if (GetParam().code == read_file_malloc_failed && kernel_always_overcommits())
        GTEST_SKIP() << "the kernel would grant the allocation";
    std::string path = make(GetParam().name);
    for (bool str : {false, true}) {
        unsigned char sentinel = 0;
        unsigned char* buf = &sentinel;
        char* sbuf = reinterpret_cast<char*>(&sentinel);
        std::uint64_t before = cost_read();
        ::testing::internal::CaptureStderr();
        ftell_fails_with = ftell_errno;
        seek_set_fails_with = seek_set_errno;
        errno = EBADF;
        std::int64_t code = str ? read_file_str(path.c_str(), &sbuf) : read_file(path.c_str(), &buf);
        ftell_fails_with = seek_set_fails_with = 0;
        std::string err = without_sanitizer_notes(::testing::internal::GetCapturedStderr());
        EXPECT_EQ(code, GetParam().code) << str;
        EXPECT_EQ(err, GetParam().stderr_text) << str;
        EXPECT_EQ(cost_read() - before, 1u) << str;
        EXPECT_EQ(buf, &sentinel);
        EXPECT_EQ(sbuf, reinterpret_cast<char*>(&sentinel));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, ReadFileFailures,
    ::testing::Values(failure_case{"missing", -1, "open_file: No such file or directory\n"},
                      failure_case{"fifo", -2, "seek_end: Illegal seek\n"},
                      failure_case{"ftell_fails", -3, "ftell: Value too large for defined data type\n"},
                      failure_case{"seek_set_fails", -4, "seek_set: Input/output error\n"},
                      failure_case{"huge_sparse", -5, "malloc: Cannot allocate memory\n"},
                      failure_case{"empty", -6, "fread: Success\n"},
                      failure_case{"dev_null", -6, "fread: Success\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReadFile, FailureLeavesErrnoAsTheFailedStepSetIt) {
    unsigned char* buf = nullptr;
    ::testing::internal::CaptureStderr();
    errno = 0;
    read_file("/nonexistent/sortcost", &buf);
    int e = errno;
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(e, ENOENT);
}

}  // namespace
