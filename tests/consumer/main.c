/* SPDX-License-Identifier: MIT */
/* Prints the cost each benchmark program reports for a file, with the
 * installed library's C interface alone: `consumer FILE`. */
#include <sortcost/sortcost.h>

#include <inttypes.h>
#include <stdio.h>
#include <stdlib.h>

int main(int argc, char **argv) {
    unsigned char *data = NULL;
    const char *step = NULL;
    int64_t size;
    if (argc != 2) {
        fprintf(stderr, "Usage: %s FILE\n", argv[0]);
        return 2;
    }
    size = sortcost_read_input(argv[1], &data, &step);
    if (size < 0) {
        /* Every program reports 2 for a file it cannot read. */
        printf("isort_words 2\nqsort_words 2\nqsort_bytes 2\n");
        return 0;
    }
    printf("isort_words %" PRIu64 "\n", sortcost_isort_words_cost(data, (size_t)size));
    printf("qsort_words %" PRIu64 "\n", sortcost_qsort_words_cost(data, (size_t)size));
    printf("qsort_bytes %" PRIu64 "\n", sortcost_qsort_bytes_cost(data, (size_t)size));
    free(data);
    return 0;
}
