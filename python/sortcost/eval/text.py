# SPDX-License-Identifier: MIT
"""How the report writes numbers and what it says of its method."""
import math

from . import stats


def number(v, digits=1):
    """A value as a table shows it: whole numbers as they are, others to
    ``digits`` decimals."""
    if isinstance(v, bool):
        return "yes" if v else "no"
    if isinstance(v, float) and math.isinf(v):
        return "never"
    if isinstance(v, float) and not v.is_integer():
        return f"{v:.{digits}f}"
    return str(int(v)) if isinstance(v, float) else str(v)


def grouped(v):
    """A cost with thousands separated: 28,542,649."""
    return f"{int(round(v)):,}" if float(v).is_integer() else f"{v:,.1f}"


def plural(n, word):
    return f"{n} {word}" + ("" if n == 1 else "s")


def method(seconds, auc_from):
    """What the report computes and how, as a list of points."""
    return [
        f"Each trial gives one engine one benchmark for {seconds:g} s on one core (seed = trial number), starting "
        "from the same inputs as every other engine (listed with each benchmark). The watcher costs those inputs at "
        "time 0, so that every curve starts at the same point; then it reads each input the engine writes into its "
        "corpus as the programs read their input, passes over those of more than N elements, costs the rest "
        "through the library and keeps the best cost over time, timed by when the engine wrote the input.",
        "An engine's CPU time is that of every process it starts (this process adopts the orphans of its "
        "tree, so a grandchild a shell starts, or one that leaves the process group, is counted when it is "
        "reaped); a trial whose engine had less than 90 % of a core over its time is marked as loaded.",
        "The reference of a benchmark is frozen in plan.json when the plan is made: the exact maximum where one "
        "is proven, else the best-known record, with the digest of the records.tsv it came from.",
        f"Per engine and benchmark: the median final best with a {stats.LEVEL:.0%} percentile bootstrap interval; "
        f"quartiles by linear interpolation (NumPy's default); percent, the median as a share of the reference; "
        f"AUC, the median over trials of the mean of best(t) / reference over log time from {auc_from:g} s to "
        f"{seconds:g} s (1: at the reference from {auc_from:g} s on).",
        "Time to reach 90, 99 and 100 % of the "
        "reference (at or above it) as censored data: a trial that never reached it is censored at the budget; "
        "the Kaplan-Meier estimate of the share of trials not yet there, its median (the first time the estimate "
        "is at or below one half; \"not reached\" otherwise), the restricted mean time within the budget, and "
        "the two-sided log-rank test between each pair.",
        "Pairs of final bests: the two-sided Mann-Whitney U test, "
        f"with the exact distribution where there are no ties and at most {stats.EXACT_UP_TO} trials a side "
        "(test \"exact\"), otherwise the normal approximation with the tie and continuity corrections "
        "(\"asymptotic\"; SciPy's mannwhitneyu); \"none\" with fewer than "
        f"{stats.MIN_PER_SIDE} trials on a side, or every value the same (p = 1). p-values are adjusted by Holm's "
        "method over the pairs of a benchmark (and share, for times). Vargha and Delaney's A12 = P(a > b) + "
        f"P(a = b) / 2 with a {stats.LEVEL:.0%} bootstrap interval (each side resampled on its own) and its "
        "magnitude: negligible below 0.56, small below 0.64, medium below 0.71, large from 0.71 (mirrored below "
        f"0.5).",
        f"Bootstrap intervals: percentiles of {stats.RESAMPLES:,} resamples from a generator seeded "
        f"{stats.BOOTSTRAP_SEED} afresh for each statistic (NumPy's default_rng), so the same trials give the "
        "same report.",
        "Across benchmarks: each engine's rank by median final best on each benchmark (1 the "
        "highest, ties sharing the mean rank, an engine with no finished trial there last), averaged; "
        "Friedman's test over those ranks (SciPy's friedmanchisquare; at least 2 benchmarks and 3 engines) and "
        "the Nemenyi critical difference at alpha 0.05 (Demsar 2006: the studentized range's quantile for k "
        "engines and infinite degrees of freedom over the square root of 2, times sqrt(k (k + 1) / (6 N))).",
    ]
