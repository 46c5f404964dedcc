// SPDX-License-Identifier: MIT
// gnu_quicksort with an element size, a count and a comparator chosen by the
// input. The array is a heap block of exactly count * size bytes, so any
// access outside it is caught by AddressSanitizer.
//
// Input: [mode] [size - 1] then elements (modes 0 and 1) or, in mode 2, a
// count and the comparator's answers.
//   mode 0: byte-string order, consistent: the result must be sorted;
//   mode 1: the wrapped word difference (4-byte elements), no consistent order,
//           as qsort_words sorts: unchecked scans, several words at a time;
//   mode 2: answers read from the input, no order at all.
// In every mode the result must be a permutation of the input's elements.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kinds.h"
#include "gnuqsort.h"
#include "word_scans.h"

using namespace sortcost;

namespace {

struct scripted {
    const std::uint8_t* answers;
    std::size_t count;
    std::size_t next;
    const unsigned char* lo;
    const unsigned char* hi;
    std::size_t size;
};

int bytewise(const void* a, const void* b, void* arg) {
    return std::memcmp(a, b, *static_cast<std::size_t*>(arg));
}

int from_input(const void* a, const void* b, void* arg) {
    auto* s = static_cast<scripted*>(arg);
    for (const void* p : {a, b}) {
        auto* c = static_cast<const unsigned char*>(p);
        if (c < s->lo || c >= s->hi || static_cast<std::size_t>(c - s->lo) % s->size != 0) std::abort();
    }
    if (s->count == 0) return -1;
    auto answer = static_cast<std::int8_t>(s->answers[s->next++ % s->count]);
    return answer;
}

std::vector<std::string> elements(const unsigned char* p, std::size_t count, std::size_t size) {
    std::vector<std::string> e;
    for (std::size_t i = 0; i < count; ++i) e.emplace_back(reinterpret_cast<const char*>(p + i * size), size);
    std::sort(e.begin(), e.end());
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    int mode = data[0] % 3;
    std::size_t elem = mode == 1 ? 4 : static_cast<std::size_t>(data[1] % 16) + 1;
    data += 2;
    size -= 2;

    std::size_t count;
    std::vector<unsigned char> original;
    scripted script{};
    if (mode == 2) {
        // The elements are numbered; the rest of the input answers comparisons.
        if (size < 2) return 0;
        count = static_cast<std::size_t>(data[0] | data[1] << 8) % 512;
        original.resize(count * elem);
        for (std::size_t i = 0; i < original.size(); ++i) original[i] = static_cast<unsigned char>(i / elem * 7 + i);
        script.answers = data + 2;
        script.count = size - 2;
    } else {
        count = size / elem;
        original.assign(data, data + count * elem);
    }

    auto* a = static_cast<unsigned char*>(std::malloc(count * elem + 1));
    if (!a) return 0;
    if (!original.empty()) std::memcpy(a, original.data(), original.size());
    if (mode == 0) {
        gnu_quicksort(a, count, elem, &bytewise, &elem);
        for (std::size_t i = 1; i < count; ++i)
            if (std::memcmp(a + (i - 1) * elem, a + i * elem, elem) > 0) std::abort();
    } else if (mode == 1) {
        gnu_quicksort(a, count, elem, words::order{}, nullptr);
    } else {
        script.lo = a;
        script.hi = a + count * elem;
        script.size = elem;
        gnu_quicksort(a, count, elem, &from_input, &script);
    }
    if (elements(a, count, elem) != elements(original.data(), count, elem)) std::abort();
    std::free(a);
    return 0;
}
