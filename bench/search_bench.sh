#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What the cost feedback brings to a search: maximize_qsort_words with it and
# without it (coverage alone), under libFuzzer and under AFL++, each for
# SECONDS on one core, RUNS times; prints the median of the best cost found
# and of the executions per second. Inputs are at most 64 bytes (16 words).
#
#   bench/search_bench.sh [SECONDS] [RUNS]
# Needs the search and afl presets built (cmake --workflow --preset search;
# cmake --workflow --preset afl, with Debian's afl++ installed).
set -euo pipefail
seconds=${1:-60}
runs=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
score=build/search/tools/score/sortcost-score

# The highest qsort_words cost of the files in a folder.
best() { "$score" --program qsort_words "$1" | awk -F'\t' 'NR > 1 && $3 > m { m = $3 } END { print m + 0 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

mkdir "$work/seeds"
head -c 64 /dev/zero >"$work/seeds/zeros"

printf '%-14s %-14s %12s %12s\n' engine feedback "best cost" "execs/s"
for variant in maximize_qsort_words maximize_qsort_words_coverage_only; do
  feedback=$([ "$variant" = maximize_qsort_words ] && echo cost+coverage || echo coverage)
  : >"$work/lf.cost"; : >"$work/lf.rate"
  for run in $(seq "$runs"); do
    dir="$work/lf-$variant-$run"
    mkdir "$dir"
    "build/search/fuzz/$variant" -seed="$run" -max_len=64 -max_total_time="$seconds" -print_final_stats=1 \
      "$dir" "$work/seeds" >"$dir.log" 2>&1
    best "$dir" >>"$work/lf.cost"
    awk -v s="$seconds" '/stat::number_of_executed_units/ { printf "%.0f\n", $2 / s }' "$dir.log" >>"$work/lf.rate"
  done
  printf '%-14s %-14s %12s %12s\n' libFuzzer "$feedback" "$(median <"$work/lf.cost")" "$(median <"$work/lf.rate")"

  : >"$work/afl.cost"; : >"$work/afl.rate"
  for run in $(seq "$runs"); do
    out="$work/afl-$variant-$run"
    AFL_NO_UI=1 AFL_SKIP_CPUFREQ=1 AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES=1 AFL_BENCH_UNTIL_CRASH= \
      afl-fuzz -s "$run" -G 64 -V "$seconds" -i "$work/seeds" -o "$out" -- "build/afl/fuzz/$variant" >"$out.log" 2>&1 || true
    best "$out/default/queue" >>"$work/afl.cost"
    awk -F: '/^execs_done/ { e = $2 } /^run_time/ { t = $2 } END { printf "%.0f\n", e / t }' \
      "$out/default/fuzzer_stats" >>"$work/afl.rate"
  done
  printf '%-14s %-14s %12s %12s\n' AFL++ "$feedback" "$(median <"$work/afl.cost")" "$(median <"$work/afl.rate")"
done
