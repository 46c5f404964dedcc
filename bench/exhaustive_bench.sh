#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The enumeration: its bound against following every course, and its speed.
#
#   bench/exhaustive_bench.sh check [N]
#     For both quicksorts and every size to N (default 12): the maxima with
#     the bound equal those of every course (--no-pruning); prints the times.
#   bench/exhaustive_bench.sh speed OLD [RUNS]
#     13 words and 14 bytes (--from), this build's sortcost-ceiling against
#     the sortcost-ceiling OLD, alternately, RUNS times each (default 3);
#     prints the medians and the ratio. Both prune by the same records.
#
# Both on two threads, with the release build (BUILD, default build/release).
set -euo pipefail
build=${BUILD:-build/release}
ceiling="$build/tools/ceiling/sortcost-ceiling"
records=${RECORDS:-records}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# Seconds that "$@" takes; its output (the rows) into $out.
timed() {
  local start end
  start=$(date +%s.%N)
  "$@" >"$out"
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f\n", b - a }'
}
out=$(mktemp)
trap 'rm -f "$out" "$out.pruned" "$out.old" "$out.new"' EXIT

case ${1:-} in
  check)
    n=${2:-12}
    for program in qsort_words qsort_bytes; do
      pruned=$(timed "$ceiling" --records "$records" exhaustive --threads 2 --program "$program" "$n")
      cp "$out" "$out.pruned"
      every=$(timed "$ceiling" exhaustive --no-pruning --threads 2 --program "$program" "$n")
      if ! diff <(cut -f1-3 "$out.pruned") <(cut -f1-3 "$out") >/dev/null; then
        echo "$program: the maxima with the bound differ from those of every course" >&2
        diff <(cut -f1-3 "$out.pruned") <(cut -f1-3 "$out") >&2
        exit 1
      fi
      printf '%s 1 to %s: the same maxima; pruned %s s, every course %s s\n' "$program" "$n" "$pruned" "$every"
    done
    ;;
  speed)
    old=${2:?the old sortcost-ceiling}
    runs=${3:-3}
    for job in "qsort_words 13" "qsort_bytes 14"; do
      set -- $job
      : >"$out.old"; : >"$out.new"
      for _ in $(seq "$runs"); do
        timed "$old" --records "$records" exhaustive --threads 2 --from "$2" --program "$1" "$2" >>"$out.old"
        old_max=$(cut -f3 "$out" | tail -n 1)
        timed "$ceiling" --records "$records" exhaustive --threads 2 --from "$2" --program "$1" "$2" >>"$out.new"
        [ "$(cut -f3 "$out" | tail -n 1)" = "$old_max" ] || { echo "$1 $2: the two disagree" >&2; exit 1; }
      done
      a=$(median <"$out.old"); b=$(median <"$out.new")
      awk -v p="$1" -v n="$2" -v a="$a" -v b="$b" -v m="$old_max" \
        'BEGIN { printf "%s %s: maximum %s; old %s s, new %s s (medians): %.1f times as fast\n", p, n, m, a, b, a / b }'
      rm -f "$out.old" "$out.new"
    done
    ;;
  *)
    sed -n '3,13p' "$0" >&2
    exit 2
    ;;
esac
