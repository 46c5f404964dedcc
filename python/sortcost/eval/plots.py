# SPDX-License-Identifier: MIT
"""The report's plots, drawn from its data model: PNGs at print resolution
(WIDTH_INCHES x DPI pixels wide), one colour per engine throughout from a
palette readers with colour-blindness can tell apart (Okabe and Ito's)."""
import os
import warnings

import numpy

from . import stats

PALETTE = ["#0072B2", "#E69F00", "#009E73", "#CC79A7", "#56B4E9", "#D55E00", "#F0E442", "#000000"]
MARKERS = ["o", "s", "^", "D", "v", "P", "X", "*"]
WIDTH_INCHES, DPI = 8.0, 160  # 1,280 pixels wide
GRID_POINTS = 240


def colours(engines):
    return {e: (PALETTE[i % len(PALETTE)], MARKERS[i % len(MARKERS)]) for i, e in enumerate(engines)}


def _pyplot():
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    return plt


def _save(fig, root, name):
    fig.tight_layout()
    fig.savefig(os.path.join(root, "plots", name), dpi=DPI)
    _pyplot().close(fig)
    return os.path.join("plots", name)


def _legend(ax, **options):
    """A legend where something is labelled (an empty one is a warning)."""
    if ax.get_legend_handles_labels()[0]:
        ax.legend(**options)


def _floor(bench):
    """The lowest cost any engine had after its first input."""
    firsts = [c[0][2] for row in bench["rows"].values() for c in row["curves"] if c]
    return min(firsts) if firsts else 0


def _bands(ax, bench, paint, grid, value_at, x_label):
    """Median and interquartile band of each engine's trials over ``grid``."""
    for e, row in bench["rows"].items():
        curves = row["curves"]
        if not curves:
            continue
        values = numpy.array([[value_at(c, x) for x in grid] for c in curves], dtype=float)
        q1, median, q3 = numpy.percentile(values, [25, 50, 75], axis=0)
        ax.plot(grid, median, color=paint[e][0], label=f"{e} (median of {len(curves)})", linewidth=1.6)
        ax.fill_between(grid, q1, q3, color=paint[e][0], alpha=0.18, linewidth=0)
    if bench["reference"]:
        ax.axhline(bench["reference"], color="black", linestyle=":", linewidth=1,
                   label=f"reference {bench['reference']:,} ({bench['ref']['status']})")
    ax.set_xscale("log")
    ax.set_xlabel(x_label)
    ax.set_ylabel("best cost so far (cost steps)")
    top = max([bench["reference"] or 0] + [max(r["finals"]) for r in bench["rows"].values() if r["finals"]])
    floor = _floor(bench)
    ax.set_ylim(floor - 0.02 * (top - floor) - 1, top + 0.04 * (top - floor) + 1)
    _legend(ax, fontsize="small", loc="lower right")


def time_plot(root, bench, paint, seconds):
    plt = _pyplot()
    fig, ax = plt.subplots(figsize=(WIDTH_INCHES, 4.5))
    _bands(ax, bench, paint, numpy.geomspace(0.01, seconds, GRID_POINTS), stats.best_at, "time since the engine started (s, log scale)")
    ax.set_title(f"{bench['bench']}: best cost over time, median and interquartile band")
    return _save(fig, root, f"{bench['bench'].program}-{bench['bench'].elements}-time.png")


def _best_at_executions(curve, executions):
    best = 0
    for _, e, value in curve:
        if e is None:
            continue
        if e > executions:
            break
        best = value
    return best


def _counted(row):
    """Whether every trial of the row has a count of executions at each find."""
    return row["counted"] and any(len(c) > 1 for c in row["curves"]) and \
        all(x is not None for c in row["curves"] for _, x, _ in c)


def executions_plot(root, bench, paint):
    """Best cost against the executions the engines report, for the engines
    whose count is fresh at each find (None where there is none)."""
    counted = {e: row for e, row in bench["rows"].items() if _counted(row)}
    if not counted:
        return None
    most = max(x for row in counted.values() for c in row["curves"] for _, x, _ in c if x is not None)
    plt = _pyplot()
    fig, ax = plt.subplots(figsize=(WIDTH_INCHES, 4.5))
    shown = dict(bench, rows=counted)
    _bands(ax, shown, paint, numpy.geomspace(1, max(most, 10), GRID_POINTS), _best_at_executions,
           "executions the engine reported (log scale)")
    left_out = [e for e in bench["rows"] if e not in counted]
    ax.set_title(f"{bench['bench']}: best cost over executions"
                 + (f" (not counted at each find: {', '.join(left_out)})" if left_out else ""), fontsize="medium")
    return _save(fig, root, f"{bench['bench'].program}-{bench['bench'].elements}-executions.png")


def finals_plot(root, bench, paint):
    """Each trial's final best as a point, jittered, the median a bar."""
    plt = _pyplot()
    names = list(bench["rows"])
    fig, ax = plt.subplots(figsize=(WIDTH_INCHES, 0.6 * len(names) + 1.6))
    jitter = numpy.random.default_rng(0)
    for i, e in enumerate(names):
        finals = bench["rows"][e]["finals"]
        if not finals:
            ax.text(0.01, i, "no finished trial", va="center", fontsize="small", transform=ax.get_yaxis_transform())
            continue
        ax.scatter(finals, i + jitter.uniform(-0.22, 0.22, len(finals)), color=paint[e][0], marker=paint[e][1],
                   alpha=0.7, s=22, label=None)
        ax.plot([bench["rows"][e]["median"]] * 2, [i - 0.35, i + 0.35], color="black", linewidth=2)
    if bench["reference"]:
        ax.axvline(bench["reference"], color="black", linestyle=":", linewidth=1)
    ax.set_yticks(range(len(names)), names)
    ax.set_ylim(len(names) - 0.5, -0.5)  # the first engine on top
    ax.set_xlabel("final best cost (cost steps)")
    ax.set_title(f"{bench['bench']}: final bests, a point a trial (jittered), the bar the median"
                 + (", dotted the reference" if bench["reference"] else ""), fontsize="medium")
    return _save(fig, root, f"{bench['bench'].program}-{bench['bench'].elements}-final.png")


def survival_plot(root, bench, paint, seconds):
    """Kaplan-Meier curves of the time to each share of the reference."""
    if not bench["reference"]:
        return None
    plt = _pyplot()
    fig, axes = plt.subplots(1, 3, figsize=(WIDTH_INCHES, 3.4), sharey=True)
    for ax, share in zip(axes, (90, 99, 100)):
        for e, row in bench["rows"].items():
            if "times" not in row:
                continue
            steps = row["times"][share]["steps"]
            xs = [max(t, 0.01) for t, _ in steps] + [seconds]
            ys = [s for _, s in steps] + [steps[-1][1]]
            ax.step(xs, ys, where="post", color=paint[e][0], label=e, linewidth=1.5)
        ax.set_xscale("log")
        ax.set_xlim(0.01, seconds)
        ax.set_ylim(-0.03, 1.03)
        ax.set_title(f"to {share} % of the reference", fontsize="medium")
        ax.set_xlabel("time (s, log scale)")
    axes[0].set_ylabel("share of trials not yet there")
    _legend(axes[-1], fontsize="x-small", loc="lower left")
    fig.suptitle(f"{bench['bench']}: Kaplan-Meier estimates (censored at {seconds:g} s)", fontsize="medium")
    return _save(fig, root, f"{bench['bench'].program}-{bench['bench'].elements}-survival.png")


def cd_plot(root, ranking, friedman):
    """The critical-difference diagram: mean ranks on an axis, engines whose
    ranks differ by less than the critical difference joined by a bar."""
    if "cd" not in friedman:
        return None
    plt = _pyplot()
    k = len(ranking)
    fig, ax = plt.subplots(figsize=(WIDTH_INCHES, 1.6 + 0.32 * k))
    ax.set_xlim(k + 1.6, -0.6)  # room for the names beside the axis
    ax.set_ylim(-(0.8 * k + 0.4), 1.6)
    ax.axhline(0, color="black", linewidth=1)
    for r in range(1, k + 1):
        ax.plot([r, r], [0, 0.15], color="black", linewidth=1)
        ax.text(r, 0.3, str(r), ha="center", fontsize="small")
    for i, row in enumerate(ranking):
        y = -(i + 1) * 0.8
        best_half = i < (k + 1) // 2  # drawn to the right, the others to the left
        end = 0.6 if best_half else k + 0.4
        ax.plot([row["mean_rank"], row["mean_rank"], end], [0, y, y], color="black", linewidth=0.8)
        ax.text(end - 0.05 if best_half else end + 0.05, y, f"{row['engine']} ({row['mean_rank']:.2f})",
                ha="left" if best_half else "right", va="center", fontsize="small")
    _cd_bars(ax, ranking, friedman["cd"])
    ax.plot([1, 1 + friedman["cd"]], [1.2, 1.2], color="black", linewidth=2)
    ax.text(1 + friedman["cd"] / 2, 1.3, f"CD = {friedman['cd']:.2f}", ha="center", fontsize="small")
    ax.axis("off")
    ax.set_title(f"Mean rank over {friedman['benchmarks']} benchmarks (1 best); Nemenyi, alpha 0.05; "
                 f"Friedman p = {friedman['p']:.3g}", fontsize="medium")
    return _save(fig, root, "critical-difference.png")


def _cd_bars(ax, ranking, cd):
    """A bar under each largest group of engines within the critical difference."""
    ranks = [r["mean_rank"] for r in ranking]
    groups = []
    for i in range(len(ranks)):
        j = max(j for j in range(i, len(ranks)) if ranks[j] - ranks[i] < cd)
        if j > i and not any(a <= i and j <= b for a, b in groups):
            groups.append((i, j))
    for level, (i, j) in enumerate(groups):
        y = -0.25 - 0.18 * level
        ax.plot([ranks[i] - 0.03, ranks[j] + 0.03], [y, y], color="black", linewidth=3, solid_capstyle="round")


def draw(root, model):
    """Every plot of the model; {benchmark: [paths]} and the diagram's path."""
    os.makedirs(os.path.join(root, "plots"), exist_ok=True)
    p = model["plan"]
    paint = colours(p.engines)
    out = {}
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # the page is the report; the libraries' asides are not
        for bench in model["benchmarks"]:
            out[bench["bench"]] = [x for x in (time_plot(root, bench, paint, p.seconds), executions_plot(root, bench, paint),
                                               finals_plot(root, bench, paint), survival_plot(root, bench, paint, p.seconds))
                                   if x]
        diagram = cd_plot(root, model["ranking"], model["friedman"])
    return out, diagram
