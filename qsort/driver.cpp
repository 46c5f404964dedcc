#include "driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "Hooks.h"
#include "gnuqsort.h"
#include "word_scans.h"

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

void words::test_qsort(const unsigned char* src, std::uint64_t size) {
    cost_inc();
    sort_copy(src, size, 4, words::order{});
}

void bytes::test_qsort(const unsigned char* src, std::uint64_t size) {
    cost_inc();
    sort_copy(src, size, 1, inline_compare<bytes::cmp, true>{});
}

std::uint64_t qsort_words_cost(const unsigned char* data, std::size_t size) {
    return program_cost(data, size, words::test_qsort);
}

std::uint64_t qsort_bytes_cost(const unsigned char* data, std::size_t size) {
    return program_cost(data, size, bytes::test_qsort);
}
