#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Python module's qsort_words_cost against the C entry point, on the same
# 64-byte input, in calls per second, as a ratio of medians taken in one run.
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
