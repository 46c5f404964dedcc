# SPDX-License-Identifier: MIT
"""The statistics of a report, each computed as the page says it is.

Bootstrap intervals are percentile intervals of RESAMPLES resamples drawn
with a generator seeded BOOTSTRAP_SEED afresh for each statistic, so that
the report of the same trials is the same every time."""
import math

import numpy

MIN_PER_SIDE = 2      # fewer trials than this on a side: no test
EXACT_UP_TO = 8       # the exact Mann-Whitney distribution up to this many trials a side, without ties
RESAMPLES = 2000
BOOTSTRAP_SEED = 1
LEVEL = 0.95
# Vargha and Delaney's thresholds for max(A12, 1 - A12).
MAGNITUDES = ((0.56, "negligible"), (0.64, "small"), (0.71, "medium"), (math.inf, "large"))


def spread(values):
    """median, first and third quartile, min, max of ``values``: quartiles by
    linear interpolation between the order statistics (NumPy's default)."""
    v = numpy.asarray(values, dtype=float)
    q1, median, q3 = numpy.percentile(v, [25, 50, 75])
    return {"median": float(median), "q1": float(q1), "q3": float(q3), "min": float(v.min()), "max": float(v.max())}


def _interval(samples):
    tail = 100 * (1 - LEVEL) / 2
    low, high = numpy.percentile(samples, [tail, 100 - tail])
    return float(low), float(high)


def median_interval(values):
    """The bootstrap interval of the median of ``values``."""
    v = numpy.asarray(values, dtype=float)
    rng = numpy.random.default_rng(BOOTSTRAP_SEED)
    return _interval(numpy.median(v[rng.integers(0, len(v), size=(RESAMPLES, len(v)))], axis=1))


def _a12_rows(a, b):
    """A12 of each row of ``a`` against the same row of ``b``."""
    greater = (a[:, :, None] > b[:, None, :]).mean(axis=(1, 2))
    equal = (a[:, :, None] == b[:, None, :]).mean(axis=(1, 2))
    return greater + equal / 2


def a12(a, b):
    """Vargha and Delaney's A12: P(a > b) + P(a = b) / 2 over every pair."""
    return float(_a12_rows(numpy.asarray([a], dtype=float), numpy.asarray([b], dtype=float))[0])


def a12_interval(a, b):
    """The bootstrap interval of A12, each side resampled on its own."""
    va, vb = numpy.asarray(a, dtype=float), numpy.asarray(b, dtype=float)
    rng = numpy.random.default_rng(BOOTSTRAP_SEED)
    ia = rng.integers(0, len(va), size=(RESAMPLES, len(va)))
    ib = rng.integers(0, len(vb), size=(RESAMPLES, len(vb)))
    return _interval(_a12_rows(va[ia], vb[ib]))


def magnitude(value):
    """negligible, small, medium or large, for A12 and its mirror 1 - A12."""
    distance = max(value, 1 - value)
    return next(name for limit, name in MAGNITUDES if distance < limit)


def mann_whitney(a, b):
    """(p, test) of the two-sided Mann-Whitney U test: test "exact" (the
    exact distribution) without ties and at most EXACT_UP_TO a side, else
    "asymptotic" (the normal approximation with the tie and continuity
    corrections, SciPy's); "none" with fewer than MIN_PER_SIDE a side (p
    None) or every value the same (p 1: nothing to tell apart)."""
    if len(a) < MIN_PER_SIDE or len(b) < MIN_PER_SIDE:
        return None, "none"
    values = list(a) + list(b)
    if len(set(values)) == 1:
        return 1.0, "none"
    from scipy.stats import mannwhitneyu
    exact = len(set(values)) == len(values) and max(len(a), len(b)) <= EXACT_UP_TO
    method = "exact" if exact else "asymptotic"
    return float(mannwhitneyu(a, b, alternative="two-sided", method=method).pvalue), method


def holm(pvalues):
    """Holm's step-down adjustment of ``pvalues`` (None passed over)."""
    given = sorted((p, i) for i, p in enumerate(pvalues) if p is not None)
    out = [None] * len(pvalues)
    running = 0.0
    for rank, (p, i) in enumerate(given):
        running = max(running, min(1.0, (len(given) - rank) * p))
        out[i] = running
    return out


def best_at(curve, t):
    """The best cost a curve (rows of seconds, executions, best) had by t."""
    best = 0
    for seconds, _, value in curve:
        if seconds > t:
            break
        best = value
    return best


def time_to(curve, target):
    """When a curve first reached ``target`` (at or above it), or infinity."""
    for seconds, _, value in curve:
        if value >= target:
            return seconds
    return math.inf


def auc_share(curve, reference, budget, start=0.1):
    """The mean of best(t) / reference over log t from ``start`` to
    ``budget``: 1 for a trial at the reference from ``start`` on."""
    if not reference or budget <= start:
        return None
    edges = [start] + [s for s, _, _ in curve if start < s < budget] + [budget]
    area = sum(best_at(curve, lo) * math.log(hi / lo) for lo, hi in zip(edges, edges[1:]))
    return area / (reference * math.log(budget / start))


def kaplan_meier(times, budget):
    """The Kaplan-Meier estimate of the share not yet there, from ``times``
    (infinity: never reached, censored at ``budget``): [(t, S(t))] at each
    time an estimate falls, from (0, 1)."""
    events = sorted(t for t in times if t <= budget)
    steps, at_risk, survive = [(0.0, 1.0)], len(times), 1.0
    i = 0
    while i < len(events):
        j = i
        while j < len(events) and events[j] == events[i]:
            j += 1
        survive *= 1 - (j - i) / at_risk
        steps.append((events[i], survive))
        at_risk -= j - i
        i = j
    return steps


def km_median(steps):
    """The first time the estimate is at or below one half, or None."""
    return next((t for t, s in steps if s <= 0.5), None)


def rmst(steps, budget):
    """The restricted mean time: the area under the estimate from 0 to budget."""
    edges = [t for t, _ in steps] + [budget]
    return sum(s * (edges[k + 1] - edges[k]) for k, (_, s) in enumerate(steps))


def logrank(times_a, times_b, budget):
    """The two-sided log-rank test's p-value for two sets of times to reach
    (infinity: censored at ``budget``), or None where neither reached it."""
    groups = [(t, 0) for t in times_a] + [(t, 1) for t in times_b]
    event_times = sorted({t for t, _ in groups if t <= budget})
    observed = expected = variance = 0.0
    for t in event_times:
        at_risk = [g for s, g in groups if s >= t]
        n, n_a = len(at_risk), at_risk.count(0)
        d = sum(1 for s, _ in groups if s == t)
        d_a = sum(1 for s, g in groups if s == t and g == 0)
        observed += d_a
        expected += d * n_a / n
        if n > 1:
            variance += d * (n_a / n) * (1 - n_a / n) * (n - d) / (n - 1)
    if not event_times or variance == 0:
        return None
    from scipy.stats import chi2
    return float(chi2.sf((observed - expected) ** 2 / variance, 1))


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


def friedman(table):
    """(statistic, p) of Friedman's test over ``table``: a row a benchmark,
    a column an engine (SciPy's friedmanchisquare, ties corrected)."""
    from scipy.stats import friedmanchisquare
    columns = numpy.asarray(table, dtype=float).T
    result = friedmanchisquare(*columns)
    return float(result.statistic), float(result.pvalue)


def critical_difference(engines, benchmarks, alpha=0.05):
    """The Nemenyi critical difference of mean ranks (Demšar 2006):
    q_alpha sqrt(k (k + 1) / (6 N)), q_alpha the studentized range's
    quantile for k groups and infinite degrees of freedom over sqrt(2)."""
    from scipy.stats import studentized_range
    q = studentized_range.ppf(1 - alpha, engines, math.inf) / math.sqrt(2)
    return float(q * math.sqrt(engines * (engines + 1) / (6 * benchmarks)))
