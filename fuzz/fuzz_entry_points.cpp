// SPDX-License-Identifier: MIT
// Every benchmark's in-process cost on arbitrary bytes. isort_words' cost has
// a closed form, 4 + 2 * words + inverted pairs, which is checked here against
// an independent merge-sort count of the inverted pairs.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sortcost/costs.h"

namespace {

std::uint64_t inversions(std::vector<std::uint32_t>& v, std::vector<std::uint32_t>& tmp, std::size_t lo, std::size_t hi) {
    if (hi - lo < 2) return 0;
    std::size_t mid = lo + (hi - lo) / 2;
    std::uint64_t n = inversions(v, tmp, lo, mid) + inversions(v, tmp, mid, hi);
    std::size_t i = lo, j = mid, k = lo;
    while (i < mid && j < hi) {
        if (v[j] < v[i]) {
            n += mid - i;
            tmp[k++] = v[j++];
        } else {
            tmp[k++] = v[i++];
        }
    }
    while (i < mid) tmp[k++] = v[i++];
    while (j < hi) tmp[k++] = v[j++];
    std::memcpy(&v[lo], &tmp[lo], (hi - lo) * sizeof v[0]);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::uint64_t isort_cost = sortcost::isort_words_cost(data, size);
    sortcost::qsort_words_cost(data, size);
    sortcost::qsort_bytes_cost(data, size);

    std::uint64_t expected = 2;  // an empty file fails to read
    if (size > 0) {
        std::vector<std::uint32_t> words(size / 4), tmp(size / 4);
        if (!words.empty()) std::memcpy(words.data(), data, words.size() * 4);
        expected = 4 + 2 * words.size() + inversions(words, tmp, 0, words.size());
    }
    if (isort_cost != expected) std::abort();
    return 0;
}
