// SPDX-License-Identifier: MIT
// The word order as qsort_words sorts with it, able to find where the
// partition scans stop several words at a time with SSE2. It gives exactly
// the answers of words::cmp, element by element; see inline_compare in
// gnuqsort.h for what the sort expects of such a type.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

// SORTCOST_NO_SIMD leaves the scans to plain loops, for machines without
// SSE2 and for checking that both give the same answers.
#if defined(__SSE2__) && !defined(SORTCOST_NO_SIMD)
#define SORTCOST_SSE2 1
#include <emmintrin.h>
#endif

#include "kinds.h"

namespace sortcost::words {

struct order {
    static constexpr bool pure = true;
    static constexpr std::size_t element_size = 4;
    static constexpr std::uint64_t steps_per_call = compare_steps;
    int operator()(const void* a, const void* b, void* arg) const { return cmp(a, b, arg); }

    // The wrapped difference's sign, as cmp(x, y) < 0 tests it.
    static bool before(std::uint32_t x, std::uint32_t y) { return static_cast<std::int32_t>(x - y) < 0; }

    static std::ptrdiff_t first_not_before(const unsigned char* first, std::ptrdiff_t n, const unsigned char* pivot) {
        const std::uint32_t p = load(pivot);
        std::ptrdiff_t i = 0;
#if defined(SORTCOST_SSE2)
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
#if defined(SORTCOST_SSE2)
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

    static constexpr int block_elements = 64;
#if defined(SORTCOST_SSE2)
    // Sixteen lanes per group of four 4-word vectors, one 16-bit mask each.
    static constexpr int block_groups = block_elements / 16;
    static_assert(block_elements % 16 == 0 && block_elements <= 64, "a block is whole groups of 16 words");
    static_assert(std::endian::native == std::endian::little, "the vector lanes hold the words as load() reads them");
#endif

    // Bit i set: the word at first + 4 i does not order before *pivot.
    static std::uint64_t stops_up(const unsigned char* first, const unsigned char* pivot) {
        const std::uint32_t p = load(pivot);
        std::uint64_t stops = 0;
#if defined(SORTCOST_SSE2)
        const __m128i pv = _mm_set1_epi32(static_cast<int>(p));
        for (int k = 0; k < block_groups; ++k) {
            const unsigned char* q = first + 64 * k;
            auto diff = [&](int g) { return _mm_sub_epi32(load4(q + 16 * g), pv); };
            stops |= static_cast<std::uint64_t>(~sign_bits(diff(0), diff(1), diff(2), diff(3)) & 0xFFFFu) << (16 * k);
        }
#else
        for (int i = 0; i < block_elements; ++i)
            stops |= static_cast<std::uint64_t>(!before(load(first + 4 * i), p)) << i;
#endif
        return stops;
    }

    // Bit i set: *pivot does not order before the word at last - 4 i.
    static std::uint64_t stops_down(const unsigned char* last, const unsigned char* pivot) {
        const std::uint32_t p = load(pivot);
        std::uint64_t stops = 0;
#if defined(SORTCOST_SSE2)
        const __m128i pv = _mm_set1_epi32(static_cast<int>(p));
        for (int k = 0; k < block_groups; ++k) {
            // The four words from last - 4 (16 k + 4 g + 3), lanes reversed so
            // that lane 0 is the one nearest `last`.
            auto diff = [&](int g) {
                __m128i v = load4(last - 4 * (16 * k + 4 * g + 3));
                return _mm_sub_epi32(pv, _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3)));
            };
            stops |= static_cast<std::uint64_t>(~sign_bits(diff(0), diff(1), diff(2), diff(3)) & 0xFFFFu) << (16 * k);
        }
#else
        for (int i = 0; i < block_elements; ++i)
            stops |= static_cast<std::uint64_t>(!before(p, load(last - 4 * i))) << i;
#endif
        return stops;
    }

private:
#if defined(SORTCOST_SSE2)
    static __m128i load4(const unsigned char* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

    // The sign bits of sixteen 32-bit lanes, a's lane 0 first. Packing with
    // signed saturation keeps each lane's sign.
    static unsigned sign_bits(__m128i a, __m128i b, __m128i c, __m128i d) {
        __m128i bytes = _mm_packs_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d));
        return static_cast<unsigned>(_mm_movemask_epi8(bytes));
    }
#endif
};

}  // namespace sortcost::words
