# SPDX-License-Identifier: MIT
"""The report of an experiment, from its trials' files alone: trials.tsv,
summary.tsv, pairs.tsv, report.md and a self-contained report.html, with the
plots in DIR/plots/ (and inline in the page)."""
import base64
import datetime
import html
import io
import math
import os
import platform

import sortcost

from . import plan, stats, trial
from .files import read_json, tsv, write_atomically

TRIALS = ["engine", "program", "elements", "trial", "status", "best", "seconds_to_best", "executions", "best_file",
          "curve_file"]
SUMMARY = ["engine", "program", "elements", "trials", "failed", "median", "q1", "q3", "min", "max", "reference",
           "reference_status", "percent", "seconds_to_90", "reached_90", "seconds_to_99", "reached_99",
           "seconds_to_100", "reached_100"]
PAIRS = ["program", "elements", "engine_a", "engine_b", "p_value", "a12"]
SHARES = (90, 99, 100)


def find_records(given=None):
    """records.tsv's folder: given, $SORTCOST_RECORDS, the user's own, the one
    installed beside sortcost-ceiling, ./records, $SORTCOST_SOURCE/records."""
    import shutil
    candidates = [given, os.environ.get("SORTCOST_RECORDS")]
    data = os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share")
    candidates.append(os.path.join(data, "sortcost", "records"))
    ceiling = shutil.which("sortcost-ceiling")
    if ceiling:
        candidates.append(os.path.join(os.path.dirname(os.path.realpath(ceiling)), "..", "share", "sortcost", "records"))
    candidates += ["records", os.path.join(os.environ.get("SORTCOST_SOURCE", ""), "records")]
    for c in candidates:
        if c and os.path.isfile(os.path.join(c, "records.tsv")):
            return c
    return None


def load_records(folder):
    """(program, elements): (cost, status) from records.tsv."""
    out = {}
    if not folder:
        return out
    with open(os.path.join(folder, "records.tsv"), encoding="utf-8") as f:
        for i, line in enumerate(f):
            fields = line.rstrip("\n").split("\t")
            if i == 0 or line.startswith("#") or len(fields) != 7:
                continue
            out[(fields[0], int(fields[1]))] = (int(fields[3]), fields[4])
    return out


def _curve(folder):
    rows = []
    with open(os.path.join(folder, "curve.tsv"), encoding="utf-8") as f:
        for line in list(f)[1:]:
            s, e, b = line.rstrip("\n").split("\t")
            rows.append((float(s), int(e) if e else None, int(b)))
    return rows


def _number(v, digits=1):
    if v is None:
        return ""
    if isinstance(v, float) and math.isinf(v):
        return "never"
    if isinstance(v, float) and not v.is_integer():
        return f"{v:.{digits}f}"
    return str(int(v)) if isinstance(v, float) else str(v)


def _grouped(number):
    return f"{int(number):,}" if number is not None and not (isinstance(number, float) and math.isinf(number)) else _number(number)


def collect(root, records_dir=None):
    p = plan.load(root)
    records = load_records(find_records(records_dir))
    results = []
    for t in p.all_trials():
        folder = t.folder(root)
        if not trial.done(root, t):
            continue
        r = read_json(os.path.join(folder, trial.RESULT))
        r["curve"] = _curve(folder)
        r["folder"] = os.path.relpath(folder, root)
        results.append(r)
    return p, records, results


def write(root, records_dir=None):
    """Writes every file of the report; returns their names."""
    p, records, results = collect(root, records_dir)
    if not results:
        raise plan.PlanError(f"{root}: no trial has finished yet")
    rel = lambda r, name: os.path.join(r["folder"], name) if name else ""  # noqa: E731
    trial_rows = [[r["engine"], r["program"], r["elements"], r["trial"], r["status"], r["best"],
                   _number(r.get("seconds_to_best"), 3), _number(r.get("executions")), rel(r, r.get("best_file")),
                   rel(r, r.get("curve_file"))] for r in results]
    summary, pairs, per_bench = [], [], []
    for b in p.benchmarks:
        ref = records.get((b.program, b.elements))
        reference, reference_status = (ref if ref else (None, "none"))
        bench_rows = {}
        for engine in p.engines:
            mine = [r for r in results if r["engine"] == engine and r["program"] == b.program and r["elements"] == b.elements]
            ok = [r for r in mine if r["status"] == "ok"]
            row = {"engine": engine, "trials": len(ok), "failed": len(mine) - len(ok), "finals": [r["best"] for r in ok],
                   "curves": [r["curve"] for r in ok]}
            if ok:
                row.update(stats.spread(row["finals"]))
                if reference:
                    row["percent"] = 100 * row["median"] / reference
                    for share in SHARES:
                        times = [stats.time_to(c, reference * share / 100) for c in row["curves"]]
                        row[f"t{share}"] = stats.median_time(times)
                        row[f"n{share}"] = f"{sum(not math.isinf(x) for x in times)}/{len(times)}"
            bench_rows[engine] = row
            summary.append([engine, b.program, b.elements, row["trials"], row["failed"]] +
                           [_number(row.get(k)) for k in ("median", "q1", "q3", "min", "max")] +
                           [_number(reference), reference_status, _number(row.get("percent"), 2)] +
                           [x for s in SHARES for x in (_number(row.get(f"t{s}"), 2), row.get(f"n{s}", ""))])
        names = list(p.engines)
        for i, a in enumerate(names):
            for e in names[i + 1:]:
                fa, fb = bench_rows[a]["finals"], bench_rows[e]["finals"]
                pv = stats.mann_whitney(fa, fb)
                pairs.append([b.program, b.elements, a, e, "too few trials" if pv is None else f"{pv:.4g}",
                              f"{stats.a12(fa, fb):.3f}" if fa and fb else ""])
        per_bench.append((b, reference, reference_status, bench_rows))
    ranking = _ranking(p, per_bench)
    write_atomically(os.path.join(root, "trials.tsv"), tsv(TRIALS, trial_rows))
    write_atomically(os.path.join(root, "summary.tsv"), tsv(SUMMARY, summary))
    write_atomically(os.path.join(root, "pairs.tsv"), tsv(PAIRS, pairs))
    plots = _plots(root, p, per_bench)
    context = _context(p, results)
    write_atomically(os.path.join(root, "report.md"), _markdown(p, per_bench, ranking, pairs, plots, context, len(results)))
    write_atomically(os.path.join(root, "report.html"), _html(root, p, per_bench, ranking, pairs, plots, context, len(results)))
    return ["trials.tsv", "summary.tsv", "pairs.tsv", "report.md", "report.html"]


def _ranking(p, per_bench):
    """Engines by their mean rank over the benchmarks (rank by median final
    best, 1 the highest, ties sharing), then their mean percent."""
    rank_sum = {e: 0.0 for e in p.engines}
    percent = {e: [] for e in p.engines}
    counted = 0
    for _, _, _, rows in per_bench:
        engines = [e for e in p.engines if rows[e]["trials"]]
        if not engines:
            continue
        counted += 1
        for e, r in zip(engines, stats.ranks([rows[e]["median"] for e in engines])):
            rank_sum[e] += r
        for e in p.engines:
            if rows[e].get("percent") is not None:
                percent[e].append(rows[e]["percent"])
        for e in p.engines:  # an engine with no finished trial ranks last there
            if not rows[e]["trials"]:
                rank_sum[e] += len(p.engines)
    out = []
    for e in p.engines:
        mean_percent = sum(percent[e]) / len(percent[e]) if percent[e] else None
        out.append((rank_sum[e] / max(counted, 1), e, mean_percent))
    return sorted(out, key=lambda x: (x[0], -(x[2] or 0)))


def _context(p, results):
    cpu = "unknown"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            cpu = next((line.split(":", 1)[1].strip() for line in f if line.startswith("model name")), cpu)
    except OSError:
        pass
    versions, commands = {}, {}
    for r in results:
        versions.setdefault(r["engine"], set()).add(r.get("version") or "")
        commands.setdefault(r["engine"], r.get("command") or r.get("reason", ""))
    return {"cpu": cpu, "cores": os.cpu_count(), "system": platform.platform(), "sortcost": sortcost.__version__,
            "versions": {e: sorted(v) for e, v in versions.items()}, "commands": commands,
            "date": datetime.date.today().isoformat(),
            "engine_cpu": sum(r.get("engine_cpu_seconds") or 0 for r in results),
            "watcher_cpu": sum(r.get("watcher_cpu_seconds") or 0 for r in results),
            "delay": max([r.get("most_costing_delay_seconds") or 0 for r in results] + [0])}


def _plots(root, p, per_bench):
    """Two PNGs a benchmark: best cost over time (median and interquartile
    band of the trials at each time, on a log time axis) and the spread of
    final bests. Returns {benchmark: (time plot, spread plot)} as paths
    relative to root."""
    import matplotlib
    matplotlib.use("Agg")
    import matplotlib.pyplot as plt
    import numpy

    folder = os.path.join(root, "plots")
    os.makedirs(folder, exist_ok=True)
    out = {}
    for b, reference, _, rows in per_bench:
        grid = numpy.geomspace(0.01, p.seconds, 200)
        fig, ax = plt.subplots(figsize=(7, 4))
        for engine, row in rows.items():
            if not row["curves"]:
                continue
            values = numpy.array([[stats.best_at(c, t) for t in grid] for c in row["curves"]], dtype=float)
            q1, median, q3 = numpy.percentile(values, [25, 50, 75], axis=0)
            line, = ax.plot(grid, median, label=engine)
            ax.fill_between(grid, q1, q3, color=line.get_color(), alpha=0.2)
        if reference:
            ax.axhline(reference, color="black", linestyle=":", linewidth=1, label="reference")
        ax.set_xscale("log")
        ax.set_xlabel("seconds since the engine started")
        ax.set_ylabel("best cost so far")
        ax.set_title(f"{b}: median and interquartile range of {p.trials} trials")
        ax.legend(fontsize="small")
        fig.tight_layout()
        time_plot = os.path.join("plots", f"{b.program}-{b.elements}-time.png")
        fig.savefig(os.path.join(root, time_plot), dpi=100)
        plt.close(fig)
        fig, ax = plt.subplots(figsize=(7, 3))
        engines = [e for e in rows if rows[e]["finals"]]
        if engines:
            ax.boxplot([rows[e]["finals"] for e in engines], labels=engines, vert=False)
            for i, e in enumerate(engines):
                ax.plot(rows[e]["finals"], [i + 1] * len(rows[e]["finals"]), "o", alpha=0.5, markersize=4)
        if reference:
            ax.axvline(reference, color="black", linestyle=":", linewidth=1)
        ax.set_xlabel("final best cost (each trial a dot)")
        ax.set_title(f"{b}: final bests")
        fig.tight_layout()
        spread_plot = os.path.join("plots", f"{b.program}-{b.elements}-final.png")
        fig.savefig(os.path.join(root, spread_plot), dpi=100)
        plt.close(fig)
        out[b] = (time_plot, spread_plot)
    return out


METHOD = ("Each trial gives one engine one benchmark for {seconds:g} s on one core (seed = trial number). "
          "The watcher reads each input the engine writes into its corpus as the programs read their input, "
          "passes over those of more than N elements, costs the rest through the library and keeps the best "
          "cost over time, timed by when the engine wrote the input. Medians and quartiles over a benchmark's "
          "finished trials (linear interpolation, NumPy's default); percent is the median as a percentage of "
          "the reference (the exact maximum where one is proven, else the best-known record); a time to reach "
          "a share of the reference is the median over the trials, a trial that never reached it counting as "
          "never. Pairs: the two-sided Mann-Whitney U test on the trials' final bests (SciPy's mannwhitneyu) and "
          "Vargha and Delaney's A12 = P(a > b) + P(a = b)/2; with fewer than {least} trials on a side, no test. "
          "Ranking: each engine's rank by median final best on each benchmark (1 the highest, ties sharing), "
          "averaged over the benchmarks; an engine with no finished trial on a benchmark ranks last there.")


def _summary_table(rows, reference):
    head = "| engine | trials | median | q1 | q3 | min | max | % of reference | to 90 % | to 99 % | to 100 % |"
    lines = [head, "|" + "---|" * 11]
    for engine, r in rows.items():
        times = [f"{_number(r.get(f't{s}'), 1)} ({r.get(f'n{s}', '')})" if reference else "" for s in SHARES]
        lines.append(f"| {engine} | {r['trials']}" + (f" ({r['failed']} failed)" if r["failed"] else "") + " | " +
                     " | ".join(_grouped(r.get(k)) for k in ("median", "q1", "q3", "min", "max")) +
                     f" | {_number(r.get('percent'), 1)} | " + " | ".join(times) + " |")
    return lines


def _plural(count, word):
    return f"{count} {word}" + ("" if count == 1 else "s")


def _header(p, c, finished):
    return (f"{finished} of {_plural(len(p.all_trials()), 'trial')} finished: {_plural(len(p.engines), 'engine')}, "
            f"{_plural(len(p.benchmarks), 'benchmark')}, {_plural(p.trials, 'trial')} of {p.seconds:g} s each. "
            f"Machine: {c['cpu']}, {_plural(c['cores'], 'core')} ({c['system']}); sortcost {c['sortcost']}; {c['date']}.")


def _markdown(p, per_bench, ranking, pairs, plots, c, finished):
    out = [f"# Search engines on the sortcost benchmarks", "",
           _header(p, c, finished), "", METHOD.format(seconds=p.seconds, least=stats.MIN_PER_SIDE), "",
           "## Ranking", "", "| rank | engine | mean rank | mean % of reference |", "|---|---|---|---|"]
    for i, (mean, e, percent) in enumerate(ranking, 1):
        out.append(f"| {i} | {e} | {mean:.2f} | {_number(percent, 1)} |")
    for b, reference, status, rows in per_bench:
        out += ["", f"## {b}", "", f"Reference: {_grouped(reference)} ({status})." if reference else "No reference.", ""]
        out += _summary_table(rows, reference)
        out += ["", "| engine a | engine b | p (two-sided) | A12 |", "|---|---|---|---|"]
        out += [f"| {r[2]} | {r[3]} | {r[4]} | {r[5]} |" for r in pairs if r[0] == b.program and r[1] == b.elements]
        out += ["", f"![best cost over time]({plots[b][0]})", "", f"![final bests]({plots[b][1]})"]
    out += ["", "## Engines", "", "| engine | version | command line (trial 1 of the first benchmark) |", "|---|---|---|"]
    for e in p.engines:
        out.append(f"| {e} | {'; '.join(c['versions'].get(e, []))} | `{c['commands'].get(e, '')}` |")
    out += ["", f"CPU time: engines {c['engine_cpu']:.0f} s, the watchers {c['watcher_cpu']:.1f} s "
            f"({100 * c['watcher_cpu'] / max(c['engine_cpu'], 1e-9):.2f} % of the engines'); an input waited at "
            f"most {c['delay']:.2f} s from its writing to its costing.",
            "", "The data: trials.tsv, summary.tsv, pairs.tsv, and each trial's folder (result.json, curve.tsv, best.bin)."]
    return "\n".join(out) + "\n"


def _html(root, p, per_bench, ranking, pairs, plots, c, finished):
    def img(path, alt):
        with open(os.path.join(root, path), "rb") as f:
            data = base64.b64encode(f.read()).decode()
        return f'<img alt="{html.escape(alt)}" src="data:image/png;base64,{data}">'

    def table(head, rows):
        return ("<table><tr>" + "".join(f"<th>{html.escape(h)}</th>" for h in head) + "</tr>" +
                "".join("<tr>" + "".join(f"<td>{html.escape(str(v))}</td>" for v in row) + "</tr>" for row in rows) +
                "</table>")

    body = [f"<h1>Search engines on the sortcost benchmarks</h1>",
            f"<p>{html.escape(_header(p, c, finished))}</p>",
            f"<p>{html.escape(METHOD.format(seconds=p.seconds, least=stats.MIN_PER_SIDE))}</p>",
            "<h2>Ranking</h2>",
            table(["rank", "engine", "mean rank", "mean % of reference"],
                  [[i, e, f"{m:.2f}", _number(pc, 1)] for i, (m, e, pc) in enumerate(ranking, 1)])]
    for b, reference, status, rows in per_bench:
        body.append(f"<h2>{html.escape(str(b))}</h2>")
        body.append(f"<p>Reference: {_grouped(reference)} ({html.escape(status)}).</p>" if reference else "<p>No reference.</p>")
        body.append(img(plots[b][0], f"{b}: best cost over time") + img(plots[b][1], f"{b}: final bests"))
        body.append(table(["engine", "trials", "failed", "median", "q1", "q3", "min", "max", "% of reference"] +
                          [f"to {s} %" for s in SHARES],
                          [[e, r["trials"], r["failed"]] + [_grouped(r.get(k)) for k in ("median", "q1", "q3", "min", "max")] +
                           [_number(r.get("percent"), 1)] +
                           [f"{_number(r.get(f't{s}'), 1)} ({r.get(f'n{s}', '')})" if reference else "" for s in SHARES]
                           for e, r in rows.items()]))
        body.append(table(["engine a", "engine b", "p (two-sided)", "A12"],
                          [r[2:] for r in pairs if r[0] == b.program and r[1] == b.elements]))
    body.append("<h2>Engines</h2>")
    body.append(table(["engine", "version", "command line (trial 1 of the first benchmark)"],
                      [[e, "; ".join(c["versions"].get(e, [])), c["commands"].get(e, "")] for e in p.engines]))
    body.append(f"<p>CPU time: engines {c['engine_cpu']:.0f} s, the watchers {c['watcher_cpu']:.1f} s "
                f"({100 * c['watcher_cpu'] / max(c['engine_cpu'], 1e-9):.2f} % of the engines'); an input waited at "
                f"most {c['delay']:.2f} s from its writing to its costing. The data: "
                "trials.tsv, summary.tsv, pairs.tsv, and each trial's folder.</p>")
    style = ("body{font-family:sans-serif;max-width:1100px;margin:2em auto;padding:0 1em;color:#222}"
             "table{border-collapse:collapse;margin:1em 0}td,th{border:1px solid #bbb;padding:2px 8px;text-align:right}"
             "th{background:#eee}td:first-child,th:first-child{text-align:left}img{max-width:49%}")
    return ("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>sortcost-eval report</title>"
            f"<style>{style}</style></head><body>\n" + "\n".join(body) + "\n</body></html>\n")
