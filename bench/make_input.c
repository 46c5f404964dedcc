// SPDX-License-Identifier: MIT
/* Writes a benchmark input: make_input SHAPE BYTES FILE, where SHAPE is
   random (splitmix64 bytes, the same on every run) or ascending (4-byte words
   0, 1, 2, ...). */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "Usage: %s random|ascending BYTES FILE\n", argv[0]);
        return 2;
    }
    int ascending = strcmp(argv[1], "ascending") == 0;
    unsigned long long n = strtoull(argv[2], NULL, 10);
    FILE* f = fopen(argv[3], "wb");
    if (!f) {
        perror(argv[3]);
        return 1;
    }
    uint64_t state = 42;
    for (unsigned long long i = 0; i < n; i += 8) {
        uint64_t z;
        if (ascending) {
            uint32_t w[2] = {(uint32_t)(i / 4), (uint32_t)(i / 4 + 1)};
            memcpy(&z, w, 8);
        } else {
            z = (state += 0x9E3779B97F4A7C15u);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
            z ^= z >> 31;
        }
        fwrite(&z, 1, n - i < 8 ? n - i : 8, f);
    }
    return fclose(f) == 0 ? 0 : 1;
}
