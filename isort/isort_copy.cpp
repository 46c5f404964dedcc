// SPDX-License-Identifier: MIT
#include <cerrno>
#include <cstdio>

#include "isort.h"

int isort_copy(const unsigned char* src, std::uint64_t size) {
    if (sortcost::isort_sort_copy(src, size, false) == 0) return 0;
    // A file of more words than isort takes counts as unreadable.
    std::perror(errno == EFBIG ? "readfile" : "buf");
    return -1;
}
