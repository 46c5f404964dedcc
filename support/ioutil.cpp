// SPDX-License-Identifier: MIT
#include "ioutil.h"

#include <cerrno>
#include <cstdio>

#include "Hooks.h"

namespace {

// Prints the failed step's perror line, if any, and passes the result on,
// leaving errno as the step set it: perror itself may change errno (it does
// when standard error is not a terminal), and a caller that adds a line of
// its own must still name the real error.
std::int64_t reported(std::int64_t result, const char* failed_step) {
    if (result >= 0) return result;
    int saved = errno;
    std::perror(failed_step);
    errno = saved;
    return result;
}

}  // namespace

std::int64_t read_file(const char* path, unsigned char** out_buf) {
    sortcost::cost_inc();
    const char* step = nullptr;
    std::int64_t size = sortcost::read_whole(path, out_buf, 0, &step);
    return reported(size, step);
}

std::int64_t read_file_str(const char* path, char** out_buf) {
    sortcost::cost_inc();
    const char* step = nullptr;
    unsigned char* buf = nullptr;
    std::int64_t size = sortcost::read_whole(path, &buf, 1, &step);
    if (size >= 0) *out_buf = reinterpret_cast<char*>(buf);
    return reported(size, step);
}
