#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# sortcost-search against a plain annealing (bench/plain_anneal.cpp) across
# sizes: for each program and n, both run side by side for SECONDS, one core
# each, with no records (sortcost-search --fresh), for seeds 1 to SEEDS; each
# best input is run through the program and must cost what the tool said.
# Prints a table of medians. With OUT, the raw rows go to OUT as each run
# finishes, and rows already in OUT are kept and not run again, so that a
# long sweep stopped part way resumes where it was.
#
# With KEEP=DIR, each best input is kept there as PROGRAM-N-SEED.plain and
# PROGRAM-N-SEED.search, with the search's output (for raising the records
# from them).
#
#   bench/search_sweep.sh [SECONDS] [SEEDS] [OUT]
#   SIZES="16 64" PROGRAMS=qsort_words bench/search_sweep.sh 10 1
# Needs the bench preset built (cmake --workflow --preset bench).
set -euo pipefail
seconds=${1:-60}
seeds=${2:-3}
out=${3:-}
sizes=${SIZES:-16 24 32 48 64 96 128 192 256 384 512 768 1024}
programs=${PROGRAMS:-qsort_words qsort_bytes}
build=${BUILD:-build/bench}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cost_of() { local c; c=$("$build/qsort/$1" "$2"); echo "${c#\[COST\] }"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

rows=${out:-$work/rows.tsv}
[ -s "$rows" ] || printf 'program\tn\tseed\tplain\tsearch\n' >"$rows"
for program in $programs; do
  for n in $sizes; do
    for seed in $(seq "$seeds"); do
      awk -F'\t' -v p="$program" -v n="$n" -v s="$seed" '$1 == p && $2 == n && $3 == s { found = 1 } END { exit !found }' "$rows" && continue
      "$build/bench/plain_anneal" "$program" "$n" "$seconds" "$seed" "$work/plain.bin" >"$work/plain.out" &
      "$build/tools/search/sortcost-search" "$program" "$n" --fresh --threads 1 --seed "$seed" --time "$seconds" \
        --out "$work/search.bin" >"$work/search.out"
      wait
      plain=$(cat "$work/plain.out")
      search=$(head -n 1 "$work/search.out" | sed 's/.* cost=\([0-9]*\) .*/\1/')
      [ "$(cost_of "$program" "$work/plain.bin")" = "$plain" ] || { echo "plain_anneal disagrees on $program $n" >&2; exit 1; }
      [ "$(cost_of "$program" "$work/search.bin")" = "$search" ] || { echo "sortcost-search disagrees on $program $n" >&2; exit 1; }
      if [ -n "${KEEP:-}" ]; then
        cp "$work/plain.bin" "$KEEP/$program-$n-$seed.plain"
        cp "$work/search.bin" "$KEEP/$program-$n-$seed.search"
        cp "$work/search.out" "$KEEP/$program-$n-$seed.search.out"
      fi
      printf '%s\t%s\t%s\t%s\t%s\n' "$program" "$n" "$seed" "$plain" "$search" >>"$rows"
    done
  done
done

printf '%-12s %6s %14s %14s %8s\n' program n "plain (median)" "search (median)" "ratio"
tail -n +2 "$rows" | cut -f1,2 | uniq | while read -r program n; do
  plain=$(awk -F'\t' -v p="$program" -v n="$n" '$1 == p && $2 == n { print $4 }' "$rows" | median)
  search=$(awk -F'\t' -v p="$program" -v n="$n" '$1 == p && $2 == n { print $5 }' "$rows" | median)
  awk -v p="$program" -v n="$n" -v a="$plain" -v b="$search" 'BEGIN { printf "%-12s %6s %14s %14s %8.3f\n", p, n, a, b, b / a }'
done
