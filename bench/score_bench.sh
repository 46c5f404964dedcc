#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Scoring a corpus: sortcost-score against one process per file per program
# on 10,000 files of 64 random bytes, as a ratio of medians taken in one run;
# sortcost-score -j 2 against -j 1 on the same corpus and on 200 files of
# 64 KiB (the output must be identical); and the time sortcost-score takes
# for the isort_words cost of a 1 MiB random file.
#
#   bench/score_bench.sh [BENCH_BUILD]      (needs hyperfine)
set -euo pipefail
build=$(realpath "${1:-build/bench}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/make_input" random $((64 * 10000)) "$work/all"
mkdir "$work/corpus"
(cd "$work/corpus" && split -b 64 -a 5 -d ../all f)
"$build/bench/make_input" random $((1 << 20)) "$work/random1m"
"$build/bench/make_input" random $((64 * 1024 * 200)) "$work/all64k"
mkdir "$work/corpus64k"
(cd "$work/corpus64k" && split -b 65536 -a 3 -d ../all64k f)
score=$build/tools/score/sortcost-score

cat >"$work/per_process.sh" <<SCRIPT
for f in "$work"/corpus/*; do
  "$build/isort/isort_words" "\$f"; "$build/qsort/qsort_words" "\$f"; "$build/qsort/qsort_bytes" "\$f"
done >/dev/null
SCRIPT

# hyperfine's JSON holds one "median" per command, in order.
medians() { grep -o '"median": [0-9.e+-]*' "$1" | awk '{print $2}'; }

hyperfine --runs 3 --style none --export-json "$work/corpus.json" \
  "bash $work/per_process.sh" "$score -j 1 $work/corpus" >/dev/null
mapfile -t m < <(medians "$work/corpus.json")
printf '10,000 files of 64 bytes, median of 3 runs (s)\n'
printf '  %-36s %10.3f\n' "one process per file per program" "${m[0]}" "sortcost-score -j 1" "${m[1]}"
printf '  %-36s %10.1f\n' "ratio" "$(awk -v a="${m[0]}" -v b="${m[1]}" 'BEGIN{print a/b}')"

printf '\nsortcost-score -j 2 against -j 1, median of 5 runs (s)\n'
for corpus in corpus corpus64k; do
  "$score" -j 1 "$work/$corpus" >"$work/j1.out"
  "$score" -j 2 "$work/$corpus" >"$work/j2.out"
  cmp -s "$work/j1.out" "$work/j2.out" || { echo "-j 2 and -j 1 differ on $corpus" >&2; exit 1; }
  hyperfine --warmup 1 --runs 5 --style none --export-json "$work/jobs.json" \
    "$score -j 1 $work/$corpus" "$score -j 2 $work/$corpus" >/dev/null
  mapfile -t j < <(medians "$work/jobs.json")
  printf '  %-36s %10.3f %10.3f %8.2f  (output identical)\n' "$corpus: -j 1, -j 2, speed-up" "${j[0]}" "${j[1]}" \
    "$(awk -v a="${j[0]}" -v b="${j[1]}" 'BEGIN{print a/b}')"
done

hyperfine --warmup 1 --runs 5 --style none --export-json "$work/big.json" \
  "$build/tools/score/sortcost-score --program isort_words $work/random1m" >/dev/null
printf '\nisort_words cost of a 1 MiB random file, median of 5 runs (s)\n'
printf '  %-36s %10.3f\n' "sortcost-score" "$(medians "$work/big.json")"
"$build/tools/score/sortcost-score" --program isort_words "$work/random1m" | tail -n 1
