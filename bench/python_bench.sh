#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Python module's qsort_words_cost against the C entry point, on the same
# 64-byte input, in calls per second, as a ratio of medians taken in one run;
# then sortcost.costs on many inputs at once against a loop, and 2 threads
# against 1.
#
#   bench/python_bench.sh [BENCH_BUILD] [PYTHON_BUILD] [REPETITIONS]
set -euo pipefail
build=${1:-build/bench}
python_build=${2:-build/python}
reps=${3:-5}

c_rate=$("$build/bench/bench_sorts_counted" --benchmark_filter='BM_entry_qsort_words_64B$' \
  --benchmark_repetitions="$reps" --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
  awk -F, '$1 ~ /_median"$/ { print $7 }')

py_rate=$(PYTHONPATH="$python_build/python" /usr/bin/python3 - "$reps" <<'PY'
import statistics, sys, timeit
import sortcost

def splitmix64(x, n):
    out = b""
    for _ in range(n):
        x = (x + 0x9E3779B97F4A7C15) & (2**64 - 1)
        z = x
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & (2**64 - 1)
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & (2**64 - 1)
        out += (z ^ (z >> 31)).to_bytes(8, "little")
    return out

data = splitmix64(7, 8)
f = sortcost.qsort_words_cost
calls = 200_000
times = [timeit.timeit("for _ in r: f(data)", globals={"f": f, "data": data, "r": range(calls)}, number=1)
         for _ in range(int(sys.argv[1]))]
print(calls / statistics.median(times))
PY
)

printf '%-44s %12.0f\n' "C sortcost_qsort_words_cost, 64 B (calls/s)" "$c_rate"
printf '%-44s %12.0f\n' "Python qsort_words_cost, 64 B bytes (calls/s)" "$py_rate"
printf '%-44s %12.3f\n' "Python ÷ C" "$(awk -v a="$py_rate" -v b="$c_rate" 'BEGIN{print a/b}')"

# Many inputs at once: sortcost.costs on a 2-D array of 64-byte inputs
# against a Python loop over the one-input call, on one thread, and on two
# threads against one.
PYTHONPATH="$python_build/python" /usr/bin/python3 - "$reps" <<'PY'
import statistics, sys, time
import numpy as np
import sortcost

rows = np.random.default_rng(7).integers(0, 256, size=(100_000, 64), dtype=np.uint8)
inputs = [row.tobytes() for row in rows]
f = sortcost.qsort_words_cost

def best_of(fn):
    times = []
    for _ in range(int(sys.argv[1])):
        start = time.perf_counter()
        result = fn()
        times.append(time.perf_counter() - start)
    return statistics.median(times), result

loop, by_loop = best_of(lambda: [f(x) for x in inputs])
one, by_one = best_of(lambda: sortcost.costs("qsort_words", rows, threads=1))
two, by_two = best_of(lambda: sortcost.costs("qsort_words", rows, threads=2))
assert list(by_one) == by_loop and list(by_two) == by_loop, "the batch costs differ from the one-input calls"
print(f"{'100,000 inputs of 64 B, median of runs (s)':44}")
print(f"{'  Python loop over qsort_words_cost':44} {loop:12.3f}")
print(f"{'  sortcost.costs, 1 thread':44} {one:12.3f}   {loop / one:.2f} x the loop")
print(f"{'  sortcost.costs, 2 threads':44} {two:12.3f}   {one / two:.2f} x 1 thread")
PY
