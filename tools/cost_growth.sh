#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Redraws docs/cost-growth.png and docs/cost-growth.tsv: for each program, on
# log-log axes, the cost of sorted, random, reversed and adversarial inputs of
# 16 to 16,384 elements, the best known input (the records), and the exact
# maxima the records prove.
#
#   tools/cost_growth.sh [BUILD_DIR]     (needs gnuplot: Debian gnuplot-nox)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/test}
"$build/tools/ceiling/sortcost-ceiling" --records records growth 16384 >docs/cost-growth.tsv

gnuplot <<'PLOT'
set terminal pngcairo size 1500,520 font ",11"
set output "docs/cost-growth.png"
set datafile separator "\t"
set logscale xy 2
set format y "2^{%L}"
set xlabel "n (elements)"
set ylabel "reported cost"
set key top left
set xrange [1:16384]
set yrange [4:*]
set grid
set multiplot layout 1,3
do for [p in "isort_words qsort_words qsort_bytes"] {
  set title p noenhanced
  shapes = p eq "isort_words" ? "best-known reversed random sorted" : "best-known adversary reversed random sorted"
  plot for [s in shapes] \
    "< awk -F'\t' '$1 == \"".p."\" && $2 == \"".s."\"' docs/cost-growth.tsv" using 3:4 \
    with linespoints lw 2 title s, \
    "< awk -F'\t' '$1 == \"".p."\" && $2 == \"exact\"' docs/cost-growth.tsv" using 3:4 \
    with points pt 7 ps 1.2 lc "black" title "exact maximum", \
    [1:16384] x*x/2 with lines dashtype 2 lc "gray" title "n²/2", \
    [1:16384] x*log(x)/log(2) with lines dashtype 3 lc "black" title "n log₂ n"
}
unset multiplot
PLOT
echo "wrote docs/cost-growth.tsv and docs/cost-growth.png"
