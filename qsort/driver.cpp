#include "driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Hooks.h"
#include "gnuqsort.h"

namespace {

// The body shared by both kinds; the caller takes the entry step.
template <class Compare>
void sort_copy(const unsigned char* src, std::uint64_t size, std::uint64_t elem_size, Compare compare) {
    // Never ask for zero bytes, so that a null result always means failure.
    auto* copy = static_cast<unsigned char*>(std::malloc(size > 0 ? static_cast<std::size_t>(size) : 1));
    if (!copy) {
        std::perror("buf");
        return;
    }
    if (size > 0) std::memcpy(copy, src, static_cast<std::size_t>(size));
    gnu_quicksort(copy, size / elem_size, elem_size, compare, nullptr);
    std::free(copy);
}

// The program's cost for an input of these bytes, without a process.
std::uint64_t program_cost(const unsigned char* data, std::size_t size,
                           void (*test_qsort)(const unsigned char*, std::uint64_t)) {
    // main's entry step and read_file's; an empty file fails to read there.
    constexpr std::uint64_t steps_before_sort = 2;
    std::uint64_t before = cost_read();
    if (size > 0) test_qsort(data, size);
    return steps_before_sort + (cost_read() - before);
}

}  // namespace

int words::cmp(const void* a, const void* b, void*) {
    cost_inc();
    std::uint32_t x;
    std::uint32_t y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    // Unsigned subtraction wraps instead of overflowing; read as signed it is
    // the exact difference of the signed words whenever that fits.
    return static_cast<std::int32_t>(x - y);
}

void words::test_qsort(const unsigned char* src, std::uint64_t size) {
    cost_inc();
    sort_copy(src, size, 4, inline_compare<words::cmp>{});
}

int bytes::cmp(const void* a, const void* b, void*) {
    cost_inc();
    return *static_cast<const unsigned char*>(a) - *static_cast<const unsigned char*>(b);
}

void bytes::test_qsort(const unsigned char* src, std::uint64_t size) {
    cost_inc();
    sort_copy(src, size, 1, inline_compare<bytes::cmp>{});
}

std::uint64_t qsort_words_cost(const unsigned char* data, std::size_t size) {
    return program_cost(data, size, words::test_qsort);
}

std::uint64_t qsort_bytes_cost(const unsigned char* data, std::size_t size) {
    return program_cost(data, size, bytes::test_qsort);
}
