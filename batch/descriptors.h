// SPDX-License-Identifier: MIT
// Whole reads and writes on a file descriptor, going on after an interrupted
// or partial call: the pool's pipes and the tools' safe files use them.
#pragma once

#include <cstddef>

// Writes all `n` bytes at `p` to `fd`; false, with errno set, if the rest
// cannot be written (a write of nothing counts as a full disk).
bool write_all(int fd, const char* p, std::size_t n);

// Reads exactly `n` bytes from `fd` into `p`; false at an error or at the
// end before `n` bytes.
bool read_all(int fd, char* p, std::size_t n);
