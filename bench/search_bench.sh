#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# What the cost feedback brings to a search: maximize_qsort_words with it and
# without it (coverage alone), under libFuzzer and under AFL++, each for
# SECONDS on one core, RUNS times; prints the median of the best cost found
# and of the executions per second. Inputs are at most 64 bytes (16 words).
# Then sortcost-search on the same budget (one thread, --fresh: from
# McIlroy's adversary's input, not the records) for qsort_words on 16 and 64
# words and qsort_bytes on 64 bytes, each cost checked through the program.
#
#   bench/search_bench.sh [SECONDS] [RUNS]
#   PARTS=search bench/search_bench.sh ...   (engines, search or both)
# Needs the search, afl and release presets built (cmake --workflow --preset search;
# cmake --workflow --preset afl, with Debian's afl++ installed; cmake --workflow --preset release).
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

parts=${PARTS:-engines search}
[[ " $parts " == *" engines "* ]] && printf '%-14s %-14s %12s %12s\n' engine feedback "best cost" "execs/s"
[[ " $parts " == *" engines "* ]] && for variant in maximize_qsort_words maximize_qsort_words_coverage_only; do
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

if [[ " $parts " == *" search "* ]]; then
  printf '\n%-14s %-12s %8s %12s %14s\n' tool program elements "best cost" "inputs/s"
  for job in "qsort_words 16" "qsort_words 64" "qsort_bytes 64"; do
    set -- $job
    : >"$work/s.cost"; : >"$work/s.rate"
    for run in $(seq "$runs"); do
      line=$(build/release/tools/search/sortcost-search "$1" "$2" --fresh --threads 1 --seed "$run" \
        --time "$seconds" --out "$work/found" | tail -n 1)
      cost=${line#* cost=}; cost=${cost%% *}
      # The tool's own number, checked by the program.
      [ "$("build/release/qsort/$1" "$work/found")" = "[COST] $cost" ] || { echo "$1 disagrees: $line" >&2; exit 1; }
      echo "$cost" >>"$work/s.cost"
      inputs=${line#*(}; inputs=${inputs%% inputs*}; inputs=${inputs//,/}
      awk -v i="$inputs" -v s="$seconds" 'BEGIN { printf "%.0f\n", i / s }' >>"$work/s.rate"
    done
    printf '%-14s %-12s %8s %12s %14s\n' sortcost-search "$1" "$2" "$(median <"$work/s.cost")" "$(median <"$work/s.rate")"
  done
fi
