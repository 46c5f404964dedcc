/* SPDX-License-Identifier: MIT */
/*
 * sortcost: the cost each benchmark program reports for an input, computed
 * in this process, and the reader the programs load their input with.
 *
 * Every cost is exactly the number the program prints as "[COST] N" for a
 * file holding the same bytes. Each call counts its steps on its own: any
 * number of threads may call any of these functions at once, and each gets
 * the result it would get alone. Nothing here prints.
 *
 * Valid C99 and C++.
 */
#ifndef SORTCOST_SORTCOST_H
#define SORTCOST_SORTCOST_H

#include <stddef.h>
#include <stdint.h>

#define SORTCOST_VERSION_MAJOR 0
#define SORTCOST_VERSION_MINOR 3
#define SORTCOST_VERSION_PATCH 0

/* Marks the library's interface; everything else in it is hidden. */
#if defined(__GNUC__)
#define SORTCOST_API __attribute__((visibility("default")))
#else
#define SORTCOST_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * The cost qsort_words reports for a file holding the `size` bytes at `data`:
 * 4-byte little-endian words compared as signed numbers, trailing bytes
 * ignored. An empty input costs 2, as an empty file does. `data` may be null
 * only when `size` is 0.
 *
 * Returns 0, which no input costs, with errno set when the cost cannot be
 * computed: ENOMEM when there is no memory for the sorting copy, EINVAL for a
 * null `data` with a non-zero `size`.
 */
SORTCOST_API uint64_t sortcost_qsort_words_cost(const void *data, size_t size);

/* The cost qsort_bytes reports for the same (single bytes, unsigned); fails
 * as sortcost_qsort_words_cost does. */
SORTCOST_API uint64_t sortcost_qsort_bytes_cost(const void *data, size_t size);

/*
 * The cost isort_words reports for the same (4-byte little-endian words,
 * unsigned). Fails as sortcost_qsort_words_cost does. An input of more than
 * 2^31 - 1 words is one isort_words refuses to sort: it costs 2, as the
 * program reports, and errno is set to EFBIG.
 */
SORTCOST_API uint64_t sortcost_isort_words_cost(const void *data, size_t size);

/*
 * Reads the file at `path` whole, by the same steps as the programs, so that
 * it fails exactly where they would (a FIFO, a directory, an empty file).
 * Returns the size and hands out a buffer through *out_buf, which the caller
 * releases with free(); or returns a negative code with errno set, *out_buf
 * unchanged and *failed_step naming the step: "open_file" (-1), "seek_end"
 * (-2), "ftell" (-3), "seek_set" (-4), "malloc" (-5) or "fread" (-6; a file
 * that reads fewer bytes than its size, an empty one included, fails there
 * with errno 0). Every program reports a cost of 2 for such a file.
 */
SORTCOST_API int64_t sortcost_read_input(const char *path, unsigned char **out_buf, const char **failed_step);

/* The library's version, "MAJOR.MINOR.PATCH". */
SORTCOST_API const char *sortcost_version(void);

#ifdef __cplusplus
}
#endif

#endif /* SORTCOST_SORTCOST_H */
