// isort_words: insertion-sorts the input file as unsigned 4-byte words and
// reports the cost at exit.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Hooks.h"
#include "ioutil.h"
#include "isort.h"

int main(int argc, char** argv) {
    std::atexit(exit_print_hook);
    cost_inc();
    if (argc < 2) {
        std::fprintf(stderr, "Usage: %s <input file>\n", argc > 0 && argv[0] ? argv[0] : "isort_words");
        return 0;
    }
    unsigned char* src = nullptr;
    std::int64_t size = read_file(argv[1], &src);
    if (!src || size < 0) {
        std::perror("readfile");
        return -1;
    }
    auto words = static_cast<std::uint64_t>(size) / 4;
    // isort takes a 32-bit count; sorting only part of a larger file would
    // report a wrong cost, so such a file is refused as unreadable.
    if (words > isort_max_count) {
        errno = EFBIG;
        std::perror("readfile");
        std::free(src);
        return -1;
    }
    auto* copy = static_cast<std::uint32_t*>(std::malloc(static_cast<std::size_t>(size)));
    if (!copy) {
        std::perror("buf");
        std::free(src);
        return -1;
    }
    std::memcpy(copy, src, static_cast<std::size_t>(size));
    isort(copy, static_cast<std::int32_t>(words));
    std::free(copy);
    std::free(src);
    return 0;
}
