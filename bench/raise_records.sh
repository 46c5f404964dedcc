#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Raises the records. For each quicksort and each size of the list, in
# ascending order (so that each size starts from the records below it grown,
# and above it cut), sortcost-search --records RECORDS runs for SECONDS on
# one thread; an input that beats the record is kept as the record, with the
# command that found it, the inputs costed and the time as its method. Sizes
# whose record is proven exact are passed over. Each size is searched twice,
# from the records and then --fresh (from the constructions alone): a walk
# that starts at a record can stay in its region, below what a fresh one
# finds (24 bytes: 499 from the records in 90 s, 513 fresh in 20 s). The two
# programs run side by side, one core each.
#
#   bench/raise_records.sh [SECONDS] [RECORDS] [BUILD]
#   SIZES="17 18 19" SEED=2 bench/raise_records.sh 120
set -euo pipefail
seconds=${1:-90}
records=${2:-records}
build=${3:-build/release}
sizes=${SIZES:-"$(seq 1 64) 96 128 192 256 384 512 768 1024 1536 2048 3072 4096"}
search="$build/tools/search/sortcost-search"

exact() { awk -F'\t' -v p="$1" -v n="$2" '$1 == p && $2 == n && $5 == "exact" { found = 1 } END { exit !found }' \
  "$records/records.tsv"; }

for program in qsort_words qsort_bytes; do
  (
    for n in $sizes; do
      exact "$program" "$n" && continue
      for start in "" --fresh; do
        "$search" "$program" "$n" --time "$seconds" --threads 1 --seed "${SEED:-1}" --records "$records" ${start:+"$start"} | tr '\n' ' '
        echo
      done
    done
  ) &
done
wait
