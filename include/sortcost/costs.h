// sortcost: the cost each benchmark program reports for an input, computed in
// this process, and the reader the programs load their input with.
//
// Every cost is exactly the number the program prints as "[COST] N" for a
// file holding the same bytes. The steps are counted in one process-wide
// counter, so call these from one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>

// The cost qsort_words reports for an input file holding the `size` bytes at
// `data` (4-byte words, compared as signed numbers; an empty file costs 2).
std::uint64_t qsort_words_cost(const unsigned char* data, std::size_t size);

// The cost qsort_bytes reports for the same (single bytes, unsigned).
std::uint64_t qsort_bytes_cost(const unsigned char* data, std::size_t size);

// The cost isort_words reports for the same (4-byte words, unsigned).
std::uint64_t isort_words_cost(const unsigned char* data, std::size_t size);

// The cost every program reports when it cannot read its input file.
inline constexpr std::uint64_t sortcost_unreadable_cost = 2;

// Reads the file at `path` whole, by the same steps as the programs, so that
// it fails exactly where they would (a FIFO, a directory, an empty file).
// Returns the size and hands out a malloc'd buffer through *out_buf, or
// returns a negative code with errno set and *failed_step naming the step:
// "open_file", "seek_end", "ftell", "seek_set", "malloc" or "fread" (an empty
// file fails there, with errno 0). Prints nothing and takes no step.
std::int64_t sortcost_read_input(const char* path, unsigned char** out_buf, const char** failed_step);
