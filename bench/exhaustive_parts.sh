#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# An exhaustive search too long for one sitting or one machine, in parts, on
# GNU parallel.
#
#   bench/exhaustive_parts.sh PROGRAM N M OUTDIR [parallel options]
#     Runs the M parts of the search of N elements, each on THREADS threads
#     (default 1), as many at once as parallel runs (its -j, -S ...). Each
#     part's rows go to OUTDIR/exhaustive-N-KIND-K-of-M.tsv when the part
#     ends, and not before; a part already there is not run again, and the
#     joblog (OUTDIR/joblog) lets parallel skip what it records as done and
#     run again what failed (--resume-failed). So a stopped run loses only
#     the parts in flight. Once every part is there,
#     they are merged (each witness costed) into OUTDIR/exhaustive-N-KIND.tsv.
#   bench/exhaustive_parts.sh part PROGRAM N K M OUTDIR
#     Part K alone, the same way (what each of parallel's jobs runs, and what
#     a Slurm array task runs).
#
# With -S, every machine needs this checkout and build at the same path and
# OUTDIR shared (or add --return and --cleanup with a relative OUTDIR).
# BUILD (default build/release) and RECORDS (default records): the build
# and the records that cut the search.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=${BUILD:-build/release}
records=${RECORDS:-records}
ceiling="$build/tools/ceiling/sortcost-ceiling"

usage() {
  sed -n '3,16p' "$0" >&2
  exit 2
}
part_file() { echo "$1/exhaustive-$3-${2#*_}-$4-of-$5.tsv"; }  # OUTDIR PROGRAM N K M

run_part() {  # PROGRAM N K M OUTDIR
  local out
  out=$(part_file "$5" "$1" "$2" "$3" "$4")
  [ -s "$out" ] && return 0
  "$ceiling" --records "$records" exhaustive --threads "${THREADS:-1}" --from "$2" \
    --program "$1" --part "$3/$4" "$2" >"$out.tmp"
  mv "$out.tmp" "$out"
}

[ $# -ge 1 ] || usage
if [ "$1" = part ]; then
  [ $# -eq 6 ] || usage
  run_part "$2" "$3" "$4" "$5" "$6"
  exit
fi
[ $# -ge 4 ] || usage
program=$1 n=$2 m=$3 outdir=$4
shift 4
case $m in '' | *[!0-9]* | 0) echo "exhaustive_parts.sh: M must be a positive number" >&2; exit 2 ;; esac
mkdir -p "$outdir"
[ -x "$ceiling" ] || { echo "exhaustive_parts.sh: no $ceiling (build it, or set BUILD)" >&2; exit 1; }

# The jobs run this script's `part`, with the settings passed on.
parallel --joblog "$outdir/joblog" --resume-failed --halt never "$@" \
  env BUILD="$build" RECORDS="$records" THREADS="${THREADS:-1}" \
  "$here/exhaustive_parts.sh" part "$program" "$n" {} "$m" "$outdir" ::: $(seq "$m") || true

parts=()
missing=()
for k in $(seq "$m"); do
  f=$(part_file "$outdir" "$program" "$n" "$k" "$m")
  if [ -s "$f" ]; then parts+=("$f"); else missing+=("$k"); fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "exhaustive_parts.sh: ${#missing[@]} of $m parts not done yet (${missing[*]}); run again to go on" >&2
  exit 1
fi
merged="$outdir/exhaustive-$n-${program#*_}.tsv"
"$ceiling" merge "${parts[@]}" >"$merged.tmp"
mv "$merged.tmp" "$merged"
cat "$merged"
