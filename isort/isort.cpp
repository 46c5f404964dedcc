#include "isort.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Hooks.h"

void isort(std::uint32_t* values, std::int32_t count) {
    cost_inc();
    for (std::int32_t i = 0; cost_inc(), i < count; ++i) {
        // Each element travels down by exchanges with its neighbour; an equal
        // neighbour stops it, so equal words keep their order.
        for (std::int32_t j = i - 1; cost_inc(), j >= 0 && values[j] > values[j + 1]; --j) {
            std::uint32_t t = values[j];
            values[j] = values[j + 1];
            values[j + 1] = t;
        }
    }
}

int isort_copy(const unsigned char* src, std::uint64_t size) {
    std::uint64_t words = size / 4;
    // isort takes a 32-bit count; sorting only part of a larger file would
    // report a wrong cost, so such a file is refused as unreadable.
    if (words > isort_max_count) {
        errno = EFBIG;
        std::perror("readfile");
        return -1;
    }
    // Never ask for zero bytes, so that a null result always means failure.
    auto* copy = static_cast<std::uint32_t*>(std::malloc(size > 0 ? static_cast<std::size_t>(size) : 1));
    if (!copy) {
        std::perror("buf");
        return -1;
    }
    if (size > 0) std::memcpy(copy, src, static_cast<std::size_t>(size));
    isort(copy, static_cast<std::int32_t>(words));
    std::free(copy);
    return 0;
}

std::uint64_t isort_words_cost(const unsigned char* data, std::size_t size) {
    // main's entry step and read_file's; an empty file fails to read there.
    constexpr std::uint64_t steps_before_sort = 2;
    std::uint64_t before = cost_read();
    if (size > 0) isort_copy(data, size);
    return steps_before_sort + (cost_read() - before);
}
