// SPDX-License-Identifier: MIT
// Sort throughput: gnu_quicksort on words and bytes, isort, and the C
// library's qsort() and std::sort on the same data as references. Built
// twice: counted, and with counting compiled out (bench_sorts_uncounted), so
// a script can take the ratio of the two in one run.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "Hooks.h"
#include "kinds.h"
#include "gnuqsort.h"
#include "word_scans.h"
#include "isort.h"
#include "sortcost/sortcost.h"

using namespace sortcost;

namespace {

// random_: any 32-bit words, as in a file of random bytes; the wrapped word
// difference is then no consistent order. positive_: 31-bit words, where it
// is; bits30_: 30-bit words.
enum shape { random_, sorted_, reversed_, few_distinct_, positive_, bits30_ };
const char* const shape_names[] = {"random", "sorted", "reversed", "few_distinct", "positive", "30-bit"};

template <class T>
std::vector<T> make(shape s, std::size_t n) {
    std::mt19937_64 rng(12345);
    std::vector<T> v(n);
    for (std::size_t i = 0; i < n; ++i) {
        switch (s) {
            case random_: v[i] = static_cast<T>(rng()); break;
            case sorted_: v[i] = static_cast<T>(i); break;
            case reversed_: v[i] = static_cast<T>(n - i); break;
            case few_distinct_: v[i] = static_cast<T>(rng() % 4); break;
            case positive_: v[i] = static_cast<T>(rng() >> 33); break;
            case bits30_: v[i] = static_cast<T>(rng() >> 34); break;
        }
    }
    // Sorted and reversed bytes repeat every 256 values; keep them monotone.
    if (sizeof(T) == 1 && (s == sorted_ || s == reversed_)) {
        std::sort(v.begin(), v.end());
        if (s == reversed_) std::reverse(v.begin(), v.end());
    }
    return v;
}

// Runs `sort` on a fresh copy of the data each iteration, the copy untimed.
template <class T, class Sort>
void run(benchmark::State& state, Sort sort) {
    auto s = static_cast<shape>(state.range(0));
    auto n = static_cast<std::size_t>(state.range(1));
    const std::vector<T> data = make<T>(s, n);
    std::vector<T> work(n);
    std::uint64_t steps = 0;
    for (auto _ : state) {
        state.PauseTiming();
        std::copy(data.begin(), data.end(), work.begin());
        state.ResumeTiming();
        std::uint64_t before = cost_read();
        sort(work.data(), n);
        steps += cost_read() - before;
        benchmark::DoNotOptimize(work.data());
    }
    state.SetLabel(shape_names[s]);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * n));
    state.counters["steps_per_second"] = benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
}

int libc_word_cmp(const void* a, const void* b) { return words::cmp(a, b, nullptr); }
int libc_byte_cmp(const void* a, const void* b) { return bytes::cmp(a, b, nullptr); }

void BM_gnu_quicksort_words(benchmark::State& state) {
    run<std::int32_t>(state, [](std::int32_t* p, std::size_t n) {
        gnu_quicksort(p, n, 4, words::order{}, nullptr);
    });
}
void BM_libc_qsort_words(benchmark::State& state) {
    run<std::int32_t>(state, [](std::int32_t* p, std::size_t n) { std::qsort(p, n, 4, libc_word_cmp); });
}
void BM_std_sort_words(benchmark::State& state) {
    run<std::int32_t>(state, [](std::int32_t* p, std::size_t n) { std::sort(p, p + n); });
}
void BM_gnu_quicksort_bytes(benchmark::State& state) {
    run<std::uint8_t>(state, [](std::uint8_t* p, std::size_t n) {
        gnu_quicksort(p, n, 1, inline_compare<bytes::cmp, true>{}, nullptr);
    });
}
void BM_libc_qsort_bytes(benchmark::State& state) {
    run<std::uint8_t>(state, [](std::uint8_t* p, std::size_t n) { std::qsort(p, n, 1, libc_byte_cmp); });
}
void BM_std_sort_bytes(benchmark::State& state) {
    run<std::uint8_t>(state, [](std::uint8_t* p, std::size_t n) { std::sort(p, p + n); });
}
void BM_isort(benchmark::State& state) {
    run<std::uint32_t>(state, [](std::uint32_t* p, std::size_t n) { isort(p, static_cast<std::int32_t>(n)); });
}
void BM_std_sort_unsigned_words(benchmark::State& state) {
    run<std::uint32_t>(state, [](std::uint32_t* p, std::size_t n) { std::sort(p, p + n); });
}
// isort's reference: the same result by binary search in the sorted prefix
// and one memmove per element, with no counting.
void BM_binary_insertion_words(benchmark::State& state) {
    run<std::uint32_t>(state, [](std::uint32_t* p, std::size_t n) {
        for (std::size_t i = 1; i < n; ++i) {
            std::uint32_t x = p[i];
            std::uint32_t* at = std::upper_bound(p, p + i, x);
            std::memmove(at + 1, at, static_cast<std::size_t>(p + i - at) * sizeof x);
            *at = x;
        }
    });
}

// 1 Ki to 4 Mi elements (16 MiB of words), each shape.
void quick_sizes(benchmark::internal::Benchmark* b) {
    for (int s = random_; s <= bits30_; ++s)
        for (std::int64_t n = 1 << 10; n <= 1 << 22; n <<= 4) b->Args({s, n});
    b->Unit(benchmark::kMillisecond);
}
// isort moves each word past n / 4 others on random input: 1 Ki to 256 Ki
// words (1 MiB).
void insertion_sizes(benchmark::internal::Benchmark* b) {
    for (int s = random_; s <= bits30_; ++s)
        for (std::int64_t n = 1 << 10; n <= 1 << 18; n <<= 2) b->Args({s, n});
    b->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_gnu_quicksort_words)->Apply(quick_sizes);
BENCHMARK(BM_libc_qsort_words)->Apply(quick_sizes);
BENCHMARK(BM_std_sort_words)->Apply(quick_sizes);
BENCHMARK(BM_gnu_quicksort_bytes)->Apply(quick_sizes);
BENCHMARK(BM_libc_qsort_bytes)->Apply(quick_sizes);
BENCHMARK(BM_std_sort_bytes)->Apply(quick_sizes);
BENCHMARK(BM_isort)->Apply(insertion_sizes);
BENCHMARK(BM_std_sort_unsigned_words)->Apply(insertion_sizes);
BENCHMARK(BM_binary_insertion_words)->Apply(insertion_sizes);

// The in-process entry points on a 64-byte input: runs per second. The
// input is splitmix64 from 7, eight values in little-endian order, so that
// bench/python_bench.sh can time the Python module on the same bytes.
template <std::uint64_t (*Cost)(const void*, std::size_t)>
void BM_entry_point_64B(benchmark::State& state) {
    unsigned char data[64];
    std::uint64_t x = 7;
    for (int i = 0; i < 8; ++i) {
        std::uint64_t z = (x += 0x9E3779B97F4A7C15u);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        z ^= z >> 31;
        for (int b = 0; b < 8; ++b) data[8 * i + b] = static_cast<unsigned char>(z >> (8 * b));
    }
    for (auto _ : state) benchmark::DoNotOptimize(Cost(data, sizeof data));
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_entry_point_64B<sortcost_qsort_words_cost>)->Name("BM_entry_qsort_words_64B");
BENCHMARK(BM_entry_point_64B<sortcost_qsort_bytes_cost>)->Name("BM_entry_qsort_bytes_64B");
BENCHMARK(BM_entry_point_64B<sortcost_isort_words_cost>)->Name("BM_entry_isort_words_64B");

}  // namespace

BENCHMARK_MAIN();
