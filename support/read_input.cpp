// SPDX-License-Identifier: MIT
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ioutil.h"
#include "sortcost/sortcost.h"

namespace sortcost {
namespace {

// Names the failed step, releases what is open and returns `code`, leaving
// errno as the failed step set it.
std::int64_t fail(const char* step, std::int64_t code, const char** failed_step, std::FILE* f = nullptr,
                  void* buf = nullptr) {
    int saved = errno;
    std::free(buf);
    if (f) std::fclose(f);
    errno = saved;
    *failed_step = step;
    return code;
}

// Opens `path` for reading as fopen(path, "rb") would, except that the open
// itself never waits: a FIFO with no writer would otherwise block for ever,
// where with a writer it fails at once at the seek. Reads block as usual.
std::FILE* open_for_reading(const char* path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    int flags = fcntl(fd, F_GETFL);
    std::FILE* f = flags < 0 || fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0 ? nullptr : fdopen(fd, "rb");
    if (!f) {
        int saved = errno;
        close(fd);
        errno = saved;
    }
    return f;
}

}  // namespace

std::int64_t read_whole(const char* path, unsigned char** out_buf, std::size_t extra, const char** failed_step) {
    std::FILE* f = open_for_reading(path);
    if (!f) return fail("open_file", read_file_open_failed, failed_step);
    if (std::fseek(f, 0, SEEK_END) != 0) return fail("seek_end", read_file_seek_end_failed, failed_step, f);
    long end = std::ftell(f);
    if (end < 0) return fail("ftell", read_file_ftell_failed, failed_step, f);
    if (std::fseek(f, 0, SEEK_SET) != 0) return fail("seek_set", read_file_seek_set_failed, failed_step, f);

    auto size = static_cast<std::size_t>(end);
    // Never ask for zero bytes: an empty file must reach the read below and
    // fail there, whatever malloc(0) returns on this C library. A size that
    // does not fit with the extra bytes is memory this machine cannot give.
    std::size_t alloc = size + extra;
    auto* buf = alloc >= size ? static_cast<unsigned char*>(std::malloc(alloc > 0 ? alloc : 1)) : nullptr;
    if (!buf) {
        if (alloc < size) errno = ENOMEM;
        return fail("malloc", read_file_malloc_failed, failed_step, f);
    }
    // One item of `size` bytes: an empty or shrunken file reads no item and
    // sets no error number, so the line must not show one left from before.
    errno = 0;
    if (std::fread(buf, size, 1, f) < 1) return fail("fread", read_file_fread_failed, failed_step, f, buf);

    if (extra > 0) buf[size] = 0;
    std::fclose(f);
    *out_buf = buf;
    return end;
}

}  // namespace sortcost

int64_t sortcost_read_input(const char* path, unsigned char** out_buf, const char** failed_step) {
    return sortcost::read_whole(path, out_buf, 0, failed_step);
}
