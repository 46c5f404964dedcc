// SPDX-License-Identifier: MIT
#include "safe_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "descriptors.h"
#include "tsv.h"

namespace {

std::string folder_of(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool read_regular_file(const std::string& path, std::string& out, std::string& error) {
    out.clear();
    // Opening without waiting: a FIFO with no writer would block here.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    int err = fd < 0 ? errno : fstat(fd, &st) != 0 ? errno : S_ISREG(st.st_mode) ? 0 : -1;
    char buf[65536];
    while (err == 0) {
        ssize_t r = ::read(fd, buf, sizeof buf);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) err = errno;
        if (r <= 0) break;
        out.append(buf, static_cast<std::size_t>(r));
    }
    if (fd >= 0) close(fd);
    if (err == 0) return true;
    error = tsv_escape(path) + ": " + (err < 0 ? "not a regular file" : std::strerror(err));
    return false;
}

bool write_file_atomically(const std::string& path, const std::string& bytes, std::string& error) {
    std::string temp = path + ".XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back('\0');
    int fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        error = tsv_escape(path) + ": " + std::strerror(errno);
        return false;
    }
    // The new file keeps the mode of the one it replaces, else the usual one.
    struct stat st;
    mode_t mode;
    if (stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = fchmod(fd, mode) == 0 && write_all(fd, bytes.data(), bytes.size()) && fsync(fd) == 0;
    int err = errno;
    if (close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && rename(name.data(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        unlink(name.data());
        error = tsv_escape(path) + ": " + std::strerror(err);
        return false;
    }
    // The rename itself lasts once the folder is synced.
    int dir = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        fsync(dir);
        close(dir);
    }
    return true;
}

folder_lock::folder_lock(const std::string& dir) {
    fd_ = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    while (flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        error_ = errno;
        close(fd_);
        fd_ = -1;
        return;
    }
}

folder_lock::~folder_lock() {
    if (fd_ >= 0) close(fd_);
}
