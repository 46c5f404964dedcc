// SPDX-License-Identifier: MIT
// Files that others keep (records, written inputs): replaced whole or not at
// all, one writer at a time.
#pragma once

#include <cstddef>
#include <string>

// Reads the whole of `path` into `out`. It must be a regular file: a FIFO, a
// device or a folder is refused at once, never waited on. False, with `error`
// saying "PATH: REASON", if it cannot be read.
bool read_regular_file(const std::string& path, std::string& out, std::string& error);

// Replaces `path` with `bytes` so that a reader sees the old file or the new
// one whole, never a part, even if this process dies or the disk fills: a
// temporary file in the same folder, written, synced, renamed over `path`,
// and the folder synced. On failure the temporary file is removed, `path`
// is as it was, and `error` says "PATH: REASON".
bool write_file_atomically(const std::string& path, const std::string& bytes, std::string& error);

// An exclusive lock on a folder, held while the object lives, so that one
// process at a time reads, changes and writes what the folder holds.
class folder_lock {
public:
    explicit folder_lock(const std::string& dir);
    ~folder_lock();
    folder_lock(const folder_lock&) = delete;
    folder_lock& operator=(const folder_lock&) = delete;
    // 0 once the lock is held, else the error number.
    int error() const { return error_; }

private:
    int fd_ = -1;
    int error_ = 0;
};
