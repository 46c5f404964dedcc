// SPDX-License-Identifier: MIT
// Safe files: whole reads of regular files only, and replacements that leave
// the old file or the new one, never a part.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

#include "program_runner.h"
#include "safe_file.h"

namespace {

TEST(SafeFile, ReadsRegularFilesOnly) {
    scratch_dir dir;
    const std::string file = dir.write("f", std::string("a\0b", 3));
    ASSERT_EQ(mkfifo((dir.path + "/fifo").c_str(), 0600), 0);
    struct row {
        std::string path;
        bool ok;
        std::string error;
    };
    const std::vector<row> rows = {
        {file, true, ""},
        {dir.write("empty", ""), true, ""},
        {dir.path + "/fifo", false, dir.path + "/fifo: not a regular file"},  // refused at once, never waited on
        {dir.path, false, dir.path + ": not a regular file"},
        {"/dev/zero", false, "/dev/zero: not a regular file"},
        {dir.path + "/missing", false, dir.path + "/missing: No such file or directory"},
    };
    for (const row& r : rows) {
        std::string out, error;
        EXPECT_EQ(read_regular_file(r.path, out, error), r.ok) << r.path;
        EXPECT_EQ(error, r.error) << r.path;
    }
    std::string out, error;
    ASSERT_TRUE(read_regular_file(file, out, error));
    EXPECT_EQ(out, std::string("a\0b", 3));
}

TEST(SafeFile, ReplacesWholeOrNotAtAll) {
    scratch_dir dir;
    const std::string file = dir.write("f", "old");
    std::string error;
    ASSERT_TRUE(write_file_atomically(file, "new", error)) << error;
    EXPECT_EQ(file_text(file), "new");
    // A file too large for the limit: the old file stays whole, and no
    // temporary file is left beside it.
    rlimit old_limit;
    getrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old_limit;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = write_file_atomically(file, std::string(10000, 'x'), error);
    setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, SIG_DFL);
    EXPECT_FALSE(ok);
    EXPECT_EQ(error.rfind(file + ": ", 0), 0u) << error;
    EXPECT_EQ(file_text(file), "new");
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path)) names.push_back(e.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"f"}) << "no temporary file left";
    EXPECT_FALSE(write_file_atomically(dir.path + "/no/such/folder/f", "x", error));
    EXPECT_EQ(error.rfind(dir.path + "/no/such/folder/f: ", 0), 0u) << error;
}

}  // namespace
