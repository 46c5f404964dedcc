#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The README's engine table: sortcost-eval runs sortcost-search (from the
# seeds alone, and informed by its constructions), libFuzzer, AFL++ and
# uniform random inputs on qsort_words:16, qsort_words:64 and qsort_bytes:64,
# TRIALS trials of SECONDS each on a core of its own, every engine from the
# same default seeds; writes the report into DIR (report.html, report.md and
# the data) and, for docs/engines, the table into README.md between its
# markers. With FEEDBACK=1 it also runs the harness without its cost feedback
# (coverage alone) under libFuzzer, to show what the feedback brings.
#
#   bench/search_bench.sh [DIR] [SECONDS] [TRIALS]
# Needs sortcost-eval (pip or the python preset) and the search, afl and
# release presets built (cmake --workflow --preset search; --preset afl, with
# Debian's afl++; --preset release), run from the source tree.
set -euo pipefail
dir=${1:-docs/engines}
seconds=${2:-60}
trials=${3:-10}
engines=(--engine search --engine search-informed --engine libfuzzer --engine aflpp --engine random)
if [ "${FEEDBACK:-0}" = 1 ]; then
  engines+=(--engine 'coverage-only=build/search/fuzz/maximize_qsort_words_coverage_only -max_len={bytes} -max_total_time={seconds} -seed={seed} {corpus} {seeds}')
  benchmarks=(--benchmark qsort_words:16 --benchmark qsort_words:64)
else
  benchmarks=(--benchmark qsort_words:16 --benchmark qsort_words:64 --benchmark qsort_bytes:64)
fi
sortcost-eval run "$dir" "${engines[@]}" "${benchmarks[@]}" --time "$seconds" --trials "$trials" || true
sortcost-eval report "$dir"
if [ "$dir" = docs/engines ]; then
  sortcost-eval table "$dir" >"$dir/.table.md"
  # The lines between the table's markers in README.md, replaced.
  awk -v table="$dir/.table.md" '
    /^<!-- end of table -->$/ { skip = 0 }
    !skip { print }
    /^<!-- sortcost-eval table docs\/engines -->$/ { while ((getline line < table) > 0) print line; skip = 1 }
  ' README.md >README.md.new
  mv README.md.new README.md
  rm "$dir/.table.md"
fi
