// SPDX-License-Identifier: MIT
// Whole-file readers: load a file into one freshly allocated heap buffer.
//
// Both return the file's size in bytes, or a negative code naming the step
// that failed, after printing a perror line tagged with that step. On success
// the caller owns *out_buf and releases it with free(); on failure no buffer is
// handed out and *out_buf is left as it was. They are the programs' readers;
// the library reads through sortcost::read_whole, which prints nothing.
#pragma once

#include <cstddef>
#include <cstdint>

enum read_file_error : std::int64_t {
    read_file_open_failed = -1,   // "open_file": the file cannot be opened for reading
    read_file_seek_end_failed = -2,  // "seek_end": cannot seek to the end (a pipe, say)
    read_file_ftell_failed = -3,  // "ftell": the end position is unknown
    read_file_seek_set_failed = -4,  // "seek_set": cannot seek back to the start
    read_file_malloc_failed = -5,  // "malloc": no memory for the contents
    read_file_fread_failed = -6,  // "fread": short read; an empty file ends here too
};

// Reads the whole file at `path` into a buffer of exactly its size.
std::int64_t read_file(const char* path, unsigned char** out_buf);

// As read_file, but the buffer holds one more byte, a terminating zero that the
// returned size does not include.
std::int64_t read_file_str(const char* path, char** out_buf);

namespace sortcost {
// The body of every reader: the same steps and results, with `extra` zeroed
// bytes allocated past the contents. Takes no cost step and prints nothing;
// on failure names the step in *failed_step and leaves errno as it set it.
std::int64_t read_whole(const char* path, unsigned char** out_buf, std::size_t extra, const char** failed_step);
}  // namespace sortcost
