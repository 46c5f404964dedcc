#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Whole-process benchmarks: start-up on a 64-byte input against a plain C
# program that reads the file and prints one line, the static build against
# the default one, each program on a 16 MiB input, and peak memory.
#
#   bench/process_bench.sh [BENCH_BUILD] [STATIC_BUILD]
#
# Needs hyperfine and /usr/bin/time (Debian packages hyperfine and time) and
# the bench and static presets built. Prints medians and their ratios.
set -euo pipefail
build=${1:-build/bench}
static=${2:-build/static}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build/bench/make_input" random 64 "$work/in64"
"$build/bench/make_input" random $((16 << 20)) "$work/random16m"
"$build/bench/make_input" ascending $((16 << 20)) "$work/ascending16m"

# hyperfine's JSON holds one "median" per command, in order.
medians() { grep -o '"median": [0-9.e+-]*' "$1" | awk '{print $2}'; }

echo "== start-up on a 64-byte input (median of 1000 runs, ms) =="
names=(minimal_report isort_words qsort_words qsort_bytes isort_words-static qsort_words-static qsort_bytes-static)
hyperfine -N --warmup 50 --runs 1000 --style none --export-json "$work/start.json" \
  "$build/bench/minimal_report $work/in64" \
  "$build/isort/isort_words $work/in64" \
  "$build/qsort/qsort_words $work/in64" \
  "$build/qsort/qsort_bytes $work/in64" \
  "$static/isort/isort_words $work/in64" \
  "$static/qsort/qsort_words $work/in64" \
  "$static/qsort/qsort_bytes $work/in64" >/dev/null
mapfile -t m < <(medians "$work/start.json")
printf '%-20s %10s %12s %14s\n' program median_ms "÷ minimal" "static ÷ dyn"
for i in "${!names[@]}"; do
  ratio=$(awk -v a="${m[$i]}" -v b="${m[0]}" 'BEGIN{printf "%.3f", a/b}')
  sd=""
  if ((i >= 4)); then sd=$(awk -v a="${m[$i]}" -v b="${m[$((i - 3))]}" 'BEGIN{printf "%.3f", a/b}'); fi
  printf '%-20s %10.4f %12s %14s\n' "${names[$i]}" "$(awk -v a="${m[$i]}" 'BEGIN{print a*1000}')" "$ratio" "$sd"
done

echo "== 16 MiB input (median of 10 runs, ms) =="
hyperfine -N --warmup 1 --runs 10 --style none --export-json "$work/big.json" \
  "$build/qsort/qsort_words $work/random16m" \
  "$build/qsort/qsort_bytes $work/random16m" \
  "$build/isort/isort_words $work/ascending16m" >/dev/null
mapfile -t b < <(medians "$work/big.json")
big=("qsort_words random" "qsort_bytes random" "isort_words ascending")
for i in "${!big[@]}"; do
  printf '%-24s %10.1f\n' "${big[$i]}" "$(awk -v a="${b[$i]}" 'BEGIN{print a*1000}')"
done

echo "== peak memory on 16 MiB (KiB; limit 2 x 16 MiB + 4 MiB = 36864) =="
for run in "qsort/qsort_words random16m" "qsort/qsort_bytes random16m" "isort/isort_words ascending16m"; do
  set -- $run
  kib=$(/usr/bin/time -f '%M' "$build/$1" "$work/$2" 2>&1 >/dev/null | tail -n 1)
  printf '%-24s %10s\n' "$(basename "$1") $2" "$kib"
done
