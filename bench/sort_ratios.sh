#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The sort targets as ratios of medians taken in one run: counted ÷ uncounted
# for the same algorithm, the quicksort ÷ the C library's qsort() on 4 Mi
# elements (16 MiB of words), isort ÷ a binary-insertion sort that does no
# counting on 64 Ki and 256 Ki random words (256 KiB and 1 MiB), and the
# in-process entry points in runs per second.
#
#   bench/sort_ratios.sh [BENCH_BUILD] [REPETITIONS]
set -euo pipefail
build=${1:-build/bench}
reps=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

filter='BM_(gnu_quicksort|libc_qsort|std_sort)_(words|bytes)/[045]/4194304$|BM_(isort|binary_insertion_words)/0/(16384|65536|262144)$|BM_entry'
for variant in counted uncounted; do
  "$build/bench/bench_sorts_$variant" --benchmark_filter="$filter" --benchmark_repetitions="$reps" \
    --benchmark_report_aggregates_only=true --benchmark_format=csv 2>/dev/null |
    awk -F, -v v="$variant" '$1 ~ /_median"$/ { gsub(/"/, "", $1); sub(/_median$/, "", $1); print v, $1, $3, $7 }'
done >"$work/medians"

# Columns: variant, benchmark, real time (ms or ns), items per second.
awk '
  { t[$1, $2] = $3; ips[$1, $2] = $4 }
  END {
    printf "%-36s %12s %12s %8s\n", "random elements (ms, median)", "counted", "uncounted", "ratio"
    n = split("BM_gnu_quicksort_words/0/4194304 BM_gnu_quicksort_bytes/0/4194304 BM_isort/0/16384 BM_isort/0/65536", b, " ")
    for (i = 1; i <= n; i++)
      printf "%-36s %12.1f %12.1f %8.3f\n", b[i], t["counted", b[i]], t["uncounted", b[i]], t["counted", b[i]] / t["uncounted", b[i]]
    printf "\n%-36s %12s %12s %8s\n", "against the C library (counted)", "ours", "qsort()", "ratio"
    split("words/0 words/4 words/5 bytes/0", k, " ")
    for (i = 1; i <= 4; i++) {
      ours = t["counted", "BM_gnu_quicksort_" k[i] "/4194304"]; ref = t["counted", "BM_libc_qsort_" k[i] "/4194304"]
      printf "%-36s %12.1f %12.1f %8.3f\n", k[i], ours, ref, ours / ref
    }
    printf "\n%-36s %12s %12s %8s\n", "isort against binary insertion", "isort", "reference", "ratio"
    split("65536 262144", m, " ")
    for (i = 1; i <= 2; i++) {
      ours = t["counted", "BM_isort/0/" m[i]]; ref = t["counted", "BM_binary_insertion_words/0/" m[i]]
      printf "%-36s %12.1f %12.1f %8.3f\n", "random words/" m[i], ours, ref, ours / ref
    }
    printf "\n%-36s %12s\n", "entry points, 64-byte input", "runs/s"
    split("BM_entry_qsort_words_64B BM_entry_qsort_bytes_64B BM_entry_isort_words_64B", e, " ")
    for (i = 1; i <= 3; i++) printf "%-36s %12.0f\n", e[i], ips["counted", e[i]]
  }' "$work/medians"
