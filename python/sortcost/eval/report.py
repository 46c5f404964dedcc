# SPDX-License-Identifier: MIT
"""The report of an experiment, from its folder alone: the tables
(trials.tsv, summary.tsv, pairs.tsv, times.tsv, time_pairs.tsv,
ranking.tsv, friedman.tsv), the plots in DIR/plots/, and one page as
report.md and a self-contained report.html, both rendered from the same
blocks of the same data model."""
import os

from . import model as data
from . import plan, plots
from .files import tsv, write_atomically
from .page import blocks, html_page, markdown_page
from .text import grouped, number

TRIALS = ["engine", "program", "elements", "trial", "status", "best", "seconds_to_best", "executions",
          "engine_cpu_seconds", "core_share", "loaded", "best_file", "curve_file", "reason"]
SUMMARY = ["engine", "program", "elements", "trials", "failed", "median", "q1", "q3", "min", "max", "reference",
           "reference_status", "percent", "seconds_to_90", "reached_90", "seconds_to_99", "reached_99",
           "seconds_to_100", "reached_100", "median_low", "median_high", "auc"]
PAIRS = ["program", "elements", "engine_a", "engine_b", "test", "p_value", "p_holm", "a12", "a12_low", "a12_high",
         "magnitude"]
TIMES = ["engine", "program", "elements", "share", "trials", "reached", "km_median", "rmst"]
TIME_PAIRS = ["program", "elements", "share", "engine_a", "engine_b", "p_value", "p_holm"]
RANKING = ["engine", "mean_rank", "mean_percent"]
FRIEDMAN = ["benchmarks", "engines", "statistic", "p_value", "critical_difference"]
NA = "NA"  # in the tables: a value that does not exist (no trial, no reference, no test)


def _v(value, digits=None):
    """A table field: NA for None, else the number as given or rounded."""
    if value is None:
        return NA
    if digits is not None and isinstance(value, float):
        return f"{value:.{digits}g}"
    return number(value)


def _trial_rows(m):
    def rel(r, name):
        return os.path.join(r["folder"], name) if name else NA
    return [[r["engine"], r["program"], r["elements"], r["trial"], r["status"], _v(r.get("best")),
             _v(r.get("seconds_to_best")), _v(r.get("executions")), _v(r.get("engine_cpu_seconds")),
             _v(r.get("core_share")), _v(r.get("loaded")), rel(r, r.get("best_file")), rel(r, r.get("curve_file")),
             r.get("reason") or NA] for r in m["results"]]


def _summary_rows(m):
    out = []
    for b in m["benchmarks"]:
        bench, ref = b["bench"], b["ref"]
        for e, row in b["rows"].items():
            times = row.get("times", {})
            shares = [x for s in data.SHARES for x in
                      ((_v(times[s]["km_median"]) if times[s]["km_median"] is not None else "not reached",
                        f"{times[s]['reached']}/{row['trials']}") if s in times else (NA, NA))]
            out.append([e, bench.program, bench.elements, row["trials"], row["failed"]] +
                       [_v(row.get(k)) for k in ("median", "q1", "q3", "min", "max")] +
                       [_v(b["reference"]), ref.get("status", "none"), _v(row.get("percent"), 6)] + shares +
                       [_v(row.get("median_low")), _v(row.get("median_high")), _v(row.get("auc"), 6)])
    return out


def _pair_rows(m):
    return [[b["bench"].program, b["bench"].elements, x["a"], x["b"], x["test"], _v(x["p"], 6), _v(x["p_holm"], 6),
             _v(x["a12"], 6), _v(x.get("a12_low"), 6), _v(x.get("a12_high"), 6), x.get("magnitude", NA)]
            for b in m["benchmarks"] for x in b["pairs"]]


def _time_rows(m):
    return [[e, b["bench"].program, b["bench"].elements, s, row["trials"], row["times"][s]["reached"],
             _v(row["times"][s]["km_median"]) if row["times"][s]["km_median"] is not None else "not reached",
             _v(row["times"][s]["rmst"], 6)]
            for b in m["benchmarks"] for e, row in b["rows"].items() if "times" in row for s in data.SHARES]


def _time_pair_rows(m):
    return [[b["bench"].program, b["bench"].elements, x["share"], x["a"], x["b"], _v(x["p"], 6), _v(x["p_holm"], 6)]
            for b in m["benchmarks"] for x in b["time_pairs"]]


def _tables(m):
    f = m["friedman"]
    friedman = (tsv(FRIEDMAN, [[f["benchmarks"], f["engines"], _v(f["statistic"], 6), _v(f["p"], 6), _v(f["cd"], 6)]])
                if "cd" in f else tsv(FRIEDMAN, []) + f"# {f['why']}\n")
    return {"trials.tsv": tsv(TRIALS, _trial_rows(m)), "summary.tsv": tsv(SUMMARY, _summary_rows(m)),
            "pairs.tsv": tsv(PAIRS, _pair_rows(m)), "times.tsv": tsv(TIMES, _time_rows(m)),
            "time_pairs.tsv": tsv(TIME_PAIRS, _time_pair_rows(m)),
            "ranking.tsv": tsv(RANKING, [[r["engine"], _v(r["mean_rank"], 6), _v(r["mean_percent"], 6)]
                                         for r in m["ranking"]]),
            "friedman.tsv": friedman}


def write(root, records_dir=None):
    """Writes every file of the report; returns their names."""
    m = data.build(root, records_dir)
    if not m["results"]:
        raise plan.PlanError(f"{root}: no trial has finished yet")
    tables = _tables(m)
    for name, text in tables.items():
        write_atomically(os.path.join(root, name), text)
    images, diagram = plots.draw(root, m)
    page = blocks(m, images, diagram)
    write_atomically(os.path.join(root, "report.md"), markdown_page(page))
    write_atomically(os.path.join(root, "report.html"), html_page(root, page))
    return list(tables) + ["report.md", "report.html"]


def readme_table(root):
    """The Markdown table of each engine's median final best and its share
    of the reference on each benchmark, by mean rank; then the references."""
    m = data.build(root)
    benches = m["benchmarks"]
    lines = ["| rank | engine | " + " | ".join(f"`{b['bench']}`" for b in benches) + " | mean rank |",
             "|---:|---|" + "---:|" * len(benches) + "---:|"]
    for i, r in enumerate(m["ranking"], 1):
        cells = []
        for b in benches:
            row = b["rows"][r["engine"]]
            if not row["trials"]:
                cells.append("no finished trial")
            else:
                share = f" ({row['percent']:.1f} %)" if row.get("percent") is not None else ""
                cells.append(grouped(row["median"]) + share)
        lines.append(f"| {i} | {r['engine']} | " + " | ".join(cells) + f" | {r['mean_rank']:.2f} |")
    refs = "; ".join(f"`{b['bench']}` {grouped(b['reference'])} ({b['ref']['status']})" if b["reference"]
                     else f"`{b['bench']}` none" for b in benches)
    return "\n".join(lines) + f"\n\nReferences, frozen in the plan: {refs}.\n"
