// The quicksort benchmarks' logic, once per element kind: `words` sorts the
// input as 4-byte words, `bytes` as single bytes. Each program fixes its kind
// when it is built.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "Hooks.h"

namespace words {
// Reads a native-endian 32-bit word from any address.
inline std::uint32_t load(const void* p) {
    std::uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

// Compares two native-endian 32-bit words as signed values: first minus
// second, wrapped to 32 bits where the difference does not fit. Inline, so
// that the sort can take it in.
inline int cmp(const void* a, const void* b, void*) {
    cost_inc();
    // Unsigned subtraction wraps instead of overflowing; read as signed it is
    // the exact difference of the signed words whenever that fits.
    return static_cast<std::int32_t>(load(a) - load(b));
}

// The word comparator as the program sorts with it: pure, and able to find
// where a partition scan stops four words at a time (see inline_compare).
struct order {
    static constexpr bool pure = true;
    static constexpr std::size_t element_size = 4;
    static constexpr std::uint64_t steps_per_call = 1;
    int operator()(const void* a, const void* b, void* arg) const { return cmp(a, b, arg); }

    // The wrapped difference's sign, as cmp(x, y) < 0 tests it.
    static bool before(std::uint32_t x, std::uint32_t y) { return static_cast<std::int32_t>(x - y) < 0; }

    static std::ptrdiff_t first_not_before(const unsigned char* first, std::ptrdiff_t n, const unsigned char* pivot) {
        const std::uint32_t p = load(pivot);
        std::ptrdiff_t i = 0;
#if defined(__SSE2__)
        const __m128i pv = _mm_set1_epi32(static_cast<int>(p));
        for (; i + 4 <= n; i += 4) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 4 * i));
            // Bit k set: word k minus the pivot is negative, so it orders before.
            unsigned stop = ~static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_sub_epi32(v, pv)))) & 0xFu;
            if (stop) return i + __builtin_ctz(stop);
        }
#endif
        for (; i < n; ++i)
            if (!before(load(first + 4 * i), p)) return i;
        return n;
    }

    static std::ptrdiff_t first_not_after_down(const unsigned char* last, std::ptrdiff_t n,
                                               const unsigned char* pivot) {
        const std::uint32_t p = load(pivot);
        std::ptrdiff_t i = 0;
#if defined(__SSE2__)
        const __m128i pv = _mm_set1_epi32(static_cast<int>(p));
        for (; i + 4 <= n; i += 4) {
            // The words at last - 4 (i + 3) .. last - 4 i; bit 3 is the one at last - 4 i.
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(last - 4 * (i + 3)));
            unsigned stop = ~static_cast<unsigned>(_mm_movemask_ps(_mm_castsi128_ps(_mm_sub_epi32(pv, v)))) & 0xFu;
            if (stop) return i + 3 - (31 - __builtin_clz(stop));
        }
#endif
        for (; i < n; ++i)
            if (!before(p, load(last - 4 * i))) return i;
        return n;
    }
};

// Sorts a copy of the size / 4 whole words of src; trailing bytes are ignored.
void test_qsort(const unsigned char* src, std::uint64_t size);
}  // namespace words

namespace bytes {
// Compares two bytes as unsigned values: first minus second.
inline int cmp(const void* a, const void* b, void*) {
    cost_inc();
    return *static_cast<const unsigned char*>(a) - *static_cast<const unsigned char*>(b);
}

// Sorts a copy of the size bytes of src.
void test_qsort(const unsigned char* src, std::uint64_t size);
}  // namespace bytes

// The cost qsort_words / qsort_bytes report for an input file holding these
// `size` bytes, computed in this process; prints nothing on success.
std::uint64_t qsort_words_cost(const unsigned char* data, std::size_t size);
std::uint64_t qsort_bytes_cost(const unsigned char* data, std::size_t size);
