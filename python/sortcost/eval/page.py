# SPDX-License-Identifier: MIT
"""The report's page as blocks (headings, paragraphs, tables, images) made
from the data model once, then rendered as Markdown and as one
self-contained HTML file. No cell is left empty: a value that does not
exist says why."""
import base64
import html
import os

from . import model as data
from .text import grouped, method, plural


def _p(text):
    return ("p", text)


def _table(head, rows):
    return ("table", head, [[str(c) if str(c) != "" else "none" for c in row] for row in rows])


def _counts(m):
    p = m["plan"]
    missing = m["planned"] - m["finished"] - len(m["failed"])
    text = (f"{m['finished']} of {plural(m['planned'], 'trial')} finished, {len(m['failed'])} failed"
            + (f", {missing} not run yet" if missing else "") +
            f": {plural(len(p.engines), 'engine')}, {plural(len(p.benchmarks), 'benchmark')}, "
            f"{plural(p.trials, 'trial')} of {p.seconds:g} s each.")
    made = p.made
    return text + (f" sortcost {made.get('sortcost', 'unknown')} (source commit {made.get('commit', 'unknown')}); "
                   f"plan made {made.get('date', 'at an unknown date')}." if made else " The plan says nothing of where it was made.")


def _ranking(m, diagram):
    out = [("h2", "Ranking across benchmarks"),
           _table(["rank", "engine", "mean rank", "mean % of reference"],
                  [[i, r["engine"], f"{r['mean_rank']:.2f}",
                    f"{r['mean_percent']:.1f}" if r["mean_percent"] is not None else "not on every benchmark"]
                   for i, r in enumerate(m["ranking"], 1)])]
    f = m["friedman"]
    if "cd" in f:
        out.append(_p(f"Friedman's test over {f['engines']} engines' ranks on {f['benchmarks']} benchmarks: "
                      f"chi-square {f['statistic']:.3f}, p = {f['p']:.4g}. Nemenyi critical difference (alpha 0.05): "
                      f"{f['cd']:.3f}; engines whose mean ranks differ by less are joined in the diagram."))
        out.append(("img", diagram, "critical-difference diagram"))
    else:
        out.append(_p(f"Friedman's test and the critical difference: {f['why']}."))
    return out


def _reference_text(b):
    ref = b["ref"]
    if not b["reference"]:
        return f"No reference: {ref.get('why', 'none was found')}. Percentages and times to a share are not given."
    return (f"Reference: {grouped(b['reference'])} ({ref['status']}; {ref.get('how', 'how it was found is not recorded')}; "
            f"from {os.path.basename(ref.get('records', 'records.tsv'))}, sha256 {ref.get('records_sha256', 'unknown')[:16]}).")


def _summary_table(b):
    rows = []
    for e, r in b["rows"].items():
        trials = str(r["trials"]) + (f" ({r['failed']} failed)" if r["failed"] else "")
        if not r["trials"]:
            rows.append([e, trials] + ["no finished trial"] * 6)
            continue
        ref = lambda key, digits: f"{r[key]:.{digits}f}" if key in r else "no reference"  # noqa: E731
        rows.append([e, trials, f"{grouped(r['median'])} [{grouped(r['median_low'])}, {grouped(r['median_high'])}]",
                     f"{grouped(r['q1'])} to {grouped(r['q3'])}", f"{grouped(r['min'])} to {grouped(r['max'])}",
                     ref("percent", 1), ref("auc", 3), str(r["loaded"])])
    return _table(["engine", "trials", "median final best [95 % CI]", "quartiles", "range", "% of reference",
                   "AUC", "loaded trials"], rows)


def _times_table(b):
    rows = []
    for e, r in b["rows"].items():
        if "times" not in r:
            rows.append([e] + ["no finished trial"] * len(data.SHARES))
            continue
        cells = []
        for s in data.SHARES:
            t = r["times"][s]
            median = "not reached" if t["km_median"] is None else f"{t['km_median']:.2f} s"
            cells.append(f"{median}; {t['reached']} of {r['trials']} reached; mean {t['rmst']:.1f} s")
        rows.append([e] + cells)
    return _table(["engine"] + [f"to {s} %: KM median; reached; restricted mean" for s in data.SHARES], rows)


def _pairs_table(b):
    def p(x):
        return "no test" if x is None else f"{x:.4g}"
    rows = [[x["a"], x["b"], x["test"], p(x["p"]), p(x["p_holm"]),
             "no trials to compare" if x["a12"] is None else
             f"{x['a12']:.3f} [{x['a12_low']:.3f}, {x['a12_high']:.3f}] {x['magnitude']}"] for x in b["pairs"]]
    return _table(["engine a", "engine b", "test", "p (two-sided)", "p (Holm)", "A12 [95 % CI], magnitude"], rows)


def _time_pairs_table(b):
    rows = {}
    for x in b["time_pairs"]:
        key = (x["a"], x["b"])
        text = "no test (no trial of either reached it)" if x["p"] is None else f"p = {x['p']:.3g} (Holm {x['p_holm']:.3g})"
        rows.setdefault(key, list(key)).append(text)
    return _table(["engine a", "engine b"] + [f"log-rank, to {s} %" for s in data.SHARES], list(rows.values()))


def _benchmark(m, b, images):
    seeds = ", ".join(f"{name} (sha256 {sha[:16]})" for name, sha in b["seeds"].items())
    out = [("h2", str(b["bench"])), _p(_reference_text(b)),
           _p(f"Starting inputs, the same for every engine ({m['plan'].seeds_from}): {seeds}."),
           _summary_table(b)]
    if b["reference"]:
        out += [_times_table(b)]
    out += [_pairs_table(b)]
    if b["time_pairs"]:
        out += [_time_pairs_table(b)]
    out += [("img", path, f"{b['bench']}: {os.path.basename(path)[:-4]}") for path in images[b["bench"]]]
    return out


def _engines(m):
    p = m["plan"]
    def informed(e):
        flag = m["informed"][e]
        return "its command decides" if flag is None else ("yes: starts from its own constructions too" if flag else "no")
    rows = [[e, x["kind"], informed(e), "; ".join(m["versions"][e]) or "not run", m["commands"][e]]
            for e, x in p.engines.items()]
    return [("h2", "Engines"), _table(["engine", "kind", "informed", "version", "command line (its first trial)"], rows)]


def _failures(m):
    out = [("h2", "Failed and loaded trials")]
    if m["failed"]:
        out.append(_table(["trial", "reason"], [[r["id"], r.get("reason", "not recorded")] for r in m["failed"]]))
    else:
        out.append(_p("No trial failed."))
    if m["loaded"]:
        out.append(_table(["trial", "share of a core the engine had"], [[r["id"], f"{100 * r['core_share']:.0f} %"]
                                                                          for r in m["loaded"]]))
    else:
        out.append(_p("Every engine had at least 90 % of a core over its trial."))
    return out


def _provenance(m):
    c, p = m["cpu"], m["plan"]
    share = 100 * c["watcher"] / c["engine"] if c["engine"] else None
    return [("h2", "Machine, CPU time and how to repeat it"),
            _p("Machines: " + "; ".join(m["machines"] or ["none recorded"]) + "."),
            _p("The trials ran with " + "; ".join(m["software"] or ["a sortcost that did not record itself"]) + "."),
            _p(f"CPU time: the engines {c['engine']:.0f} s ({', '.join(c['counted']) or 'not measured'}), the watchers "
               f"{c['watcher']:.1f} s" + (f" ({share:.2f} % of the engines')" if share is not None else "") +
               f"; an input waited at most {c['delay']:.2f} s from its writing to its costing."),
            _p(f"Scored against {m['ref_source']}."),
            _p("The data: plan.json (the experiment, the seeds, the references and where it was made), trials.tsv, "
               "summary.tsv, pairs.tsv, times.tsv, time_pairs.tsv, ranking.tsv, friedman.tsv, and each trial's folder "
               "(result.json, curve.tsv, best.bin, engine.log). Any trial runs again from plan.json alone: "
               "sortcost-eval reproduce DIR TRIAL OUT.")]


def blocks(m, images, diagram):
    p = m["plan"]
    out = [("h1", "Search engines on the sortcost benchmarks"), _p(_counts(m)), ("h2", "Method"),
           ("ul", method(p.seconds, data.AUC_FROM))]
    out += _ranking(m, diagram)
    for b in m["benchmarks"]:
        out += _benchmark(m, b, images)
    return out + _failures(m) + _engines(m) + _provenance(m)


def markdown_page(page):
    lines = []
    for block in page:
        kind = block[0]
        if kind in ("h1", "h2"):
            lines += [("# " if kind == "h1" else "## ") + block[1], ""]
        elif kind == "p":
            lines += [block[1], ""]
        elif kind == "ul":
            lines += [f"- {item}" for item in block[1]] + [""]
        elif kind == "img":
            lines += [f"![{block[2]}]({block[1]})", ""]
        else:
            cell = lambda c: c.replace("|", "\\|").replace("\n", " ")  # noqa: E731
            lines += ["| " + " | ".join(block[1]) + " |", "|" + "---|" * len(block[1])]
            lines += ["| " + " | ".join(cell(c) for c in row) + " |" for row in block[2]] + [""]
    return "\n".join(lines)


STYLE = ("body{font-family:sans-serif;max-width:1200px;margin:2em auto;padding:0 1em;color:#222;line-height:1.4}"
         "table{border-collapse:collapse;margin:1em 0}td,th{border:1px solid #bbb;padding:2px 8px;text-align:right}"
         "th{background:#eee}td:first-child,th:first-child{text-align:left}img{width:100%;max-width:1200px}")


def html_page(root, page):
    body = []
    for block in page:
        kind = block[0]
        if kind in ("h1", "h2", "p"):
            body.append(f"<{kind}>{html.escape(block[1])}</{kind}>")
        elif kind == "ul":
            body.append("<ul>" + "".join(f"<li>{html.escape(item)}</li>" for item in block[1]) + "</ul>")
        elif kind == "img":
            with open(os.path.join(root, block[1]), "rb") as f:
                png = base64.b64encode(f.read()).decode()
            body.append(f'<p><img alt="{html.escape(block[2])}" src="data:image/png;base64,{png}"></p>')
        else:
            body.append("<table><tr>" + "".join(f"<th>{html.escape(h)}</th>" for h in block[1]) + "</tr>" +
                        "".join("<tr>" + "".join(f"<td>{html.escape(c)}</td>" for c in row) + "</tr>"
                                for row in block[2]) + "</table>")
    return ("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>sortcost-eval report</title>"
            f"<style>{STYLE}</style></head><body>\n" + "\n".join(body) + "\n</body></html>\n")
