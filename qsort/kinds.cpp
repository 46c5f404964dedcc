// SPDX-License-Identifier: MIT
#include "kinds.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "Hooks.h"
#include "gnuqsort.h"
#include "sortcost/costs.h"
#include "word_scans.h"

namespace sortcost {
namespace {

template <class Compare>
bool sort_copy(const unsigned char* src, std::uint64_t size, std::uint64_t elem_size, Compare compare) {
    // Never ask for zero bytes, so that a null result always means failure.
    const auto n = static_cast<std::size_t>(size);
    auto* copy = n == size ? static_cast<unsigned char*>(std::malloc(n > 0 ? n : 1)) : nullptr;
    if (!copy) {
        errno = ENOMEM;
        return false;
    }
    if (n > 0) std::memcpy(copy, src, n);
    gnu_quicksort(copy, size / elem_size, elem_size, compare, nullptr);
    std::free(copy);
    return true;
}

// The program's cost for an input of these bytes, without a process: 0 with
// errno set when it cannot be computed.
std::uint64_t program_cost(const void* data, std::size_t size, bool (*sort)(const unsigned char*, std::uint64_t)) {
    // An empty file fails to read after main's and the reader's steps.
    if (size == 0) return unreadable_cost;
    if (!data) {
        errno = EINVAL;
        return 0;
    }
    std::uint64_t before = cost_read();
    if (!sort(static_cast<const unsigned char*>(data), size)) return 0;
    return quicksort_steps_before_sort + (cost_read() - before);
}

}  // namespace

bool words::sort_copy(const unsigned char* src, std::uint64_t size) {
    return sortcost::sort_copy(src, size, 4, words::order{});
}

bool bytes::sort_copy(const unsigned char* src, std::uint64_t size) {
    return sortcost::sort_copy(src, size, 1, inline_compare<bytes::cmp, true>{});
}

}  // namespace sortcost

uint64_t sortcost_qsort_words_cost(const void* data, size_t size) {
    return sortcost::program_cost(data, size, sortcost::words::sort_copy);
}

uint64_t sortcost_qsort_bytes_cost(const void* data, size_t size) {
    return sortcost::program_cost(data, size, sortcost::bytes::sort_copy);
}
