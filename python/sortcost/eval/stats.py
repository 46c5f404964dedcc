# SPDX-License-Identifier: MIT
"""The statistics of a report, each computed as the page says it is."""
import math

import numpy

MIN_PER_SIDE = 2  # fewer trials than this on a side: no test


def spread(values):
    """median, first and third quartile, min, max of ``values``: quartiles by
    linear interpolation between the order statistics (NumPy's default)."""
    v = numpy.asarray(values, dtype=float)
    q1, median, q3 = numpy.percentile(v, [25, 50, 75])
    return {"median": float(median), "q1": float(q1), "q3": float(q3), "min": float(v.min()), "max": float(v.max())}


def a12(a, b):
    """Vargha and Delaney's A12: P(a > b) + P(a = b) / 2 over every pair."""
    wins = sum((x > y) + 0.5 * (x == y) for x in a for y in b)
    return wins / (len(a) * len(b))


def mann_whitney(a, b):
    """The two-sided Mann-Whitney U test's p-value (SciPy's mannwhitneyu:
    exact where the samples are small and without ties, else the normal
    approximation with the tie correction), or None with fewer than
    MIN_PER_SIDE values on a side. Two samples of one value throughout
    differ in nothing: p = 1."""
    if len(a) < MIN_PER_SIDE or len(b) < MIN_PER_SIDE:
        return None
    if len(set(a) | set(b)) == 1:
        return 1.0
    from scipy.stats import mannwhitneyu
    return float(mannwhitneyu(a, b, alternative="two-sided").pvalue)


def best_at(curve, t):
    """The best cost a curve (rows of seconds, executions, best) had by t."""
    best = 0
    for seconds, _, value in curve:
        if seconds > t:
            break
        best = value
    return best


def time_to(curve, target):
    """When a curve first reached ``target``, or infinity."""
    for seconds, _, value in curve:
        if value >= target:
            return seconds
    return math.inf


def median_time(times):
    """The median of times (infinity for a trial that never got there):
    infinity if the middle trials did not."""
    return float(numpy.median(numpy.asarray(times, dtype=float))) if times else math.inf


def ranks(values):
    """The rank of each value, 1 for the largest, ties sharing the mean rank."""
    order = sorted(range(len(values)), key=lambda i: -values[i])
    out = [0.0] * len(values)
    i = 0
    while i < len(order):
        j = i
        while j + 1 < len(order) and values[order[j + 1]] == values[order[i]]:
            j += 1
        for k in range(i, j + 1):
            out[order[k]] = (i + j) / 2 + 1
        i = j + 1
    return out
