#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The README's engine table: sortcost-eval runs sortcost-search, libFuzzer,
# AFL++ and uniform random inputs on qsort_words:16, qsort_words:64 and
# qsort_bytes:64, TRIALS trials of SECONDS each on a core of its own, and
# writes the report into DIR (report.html, report.md and the data). With
# FEEDBACK=1 it also runs the harness without its cost feedback (coverage
# alone) under libFuzzer, to show what the feedback brings.
#
#   bench/search_bench.sh [DIR] [SECONDS] [TRIALS]
# Needs sortcost-eval (pip or the python preset) and the search, afl and
# release presets built (cmake --workflow --preset search; --preset afl, with
# Debian's afl++; --preset release), run from the source tree.
set -euo pipefail
dir=${1:-docs/engines}
seconds=${2:-60}
trials=${3:-10}
engines=(--engine search --engine libfuzzer --engine aflpp --engine random)
if [ "${FEEDBACK:-0}" = 1 ]; then
  engines+=(--engine 'coverage-only=build/search/fuzz/maximize_qsort_words_coverage_only -max_len={bytes} -max_total_time={seconds} -seed={seed} {corpus}')
  benchmarks=(--benchmark qsort_words:16 --benchmark qsort_words:64)
else
  benchmarks=(--benchmark qsort_words:16 --benchmark qsort_words:64 --benchmark qsort_bytes:64)
fi
sortcost-eval run "$dir" "${engines[@]}" "${benchmarks[@]}" --time "$seconds" --trials "$trials"
sortcost-eval report "$dir"
