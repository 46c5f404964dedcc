# SPDX-License-Identifier: MIT
"""The report's one data model, computed from an experiment's folder alone:
its plan (with the references frozen in it) and its trials' files. The
tables, the page and the plots are renderings of it."""
import math
import os

from . import engines, plan, references, stats, trial
from .files import digest, read_tsv

SHARES = (90, 99, 100)
AUC_FROM = 0.1  # seconds: the area under the curve is taken over log time from here


def _curve(folder):
    rows = read_tsv(os.path.join(folder, "curve.tsv"), trial.CURVE)
    return [(float(s), int(e) if e else None, int(b)) for s, e, b in rows]


def trials_of(root, p):
    """Every finished trial's result (failed ones too), with its curve."""
    results = []
    for t in p.all_trials():
        r = trial.result_of(root, t)
        if r is None:
            continue
        folder = t.folder(root)
        r["id"] = t.id
        r["curve"] = _curve(folder) if r["status"] == "ok" else []
        r["folder"] = os.path.relpath(folder, root)
        results.append(r)
    return results


def _references(p, records_dir):
    """The references to score against: the plan's, or those of another
    records folder; and the sentence that says which."""
    if records_dir is None:
        return p.references, "the references frozen in the plan when it was made"
    try:
        refs = references.freeze(p.benchmarks, records_dir)
    except (OSError, ValueError) as e:
        raise plan.PlanError(f"--records: {e}") from None
    sha = next((r.get("records_sha256") for r in refs.values() if r.get("records_sha256")), "")
    return refs, (f"the records in {os.path.abspath(records_dir)} (records.tsv sha256 {sha[:12]}), given with "
                  f"--records, not those frozen in the plan")


def _times(row, reference, budget):
    """Time to each share of the reference, as censored data."""
    out = {}
    for share in SHARES:
        times = [stats.time_to(c, reference * share / 100) for c in row["curves"]]
        steps = stats.kaplan_meier(times, budget)
        out[share] = {"times": times, "reached": sum(t <= budget for t in times), "steps": steps,
                      "km_median": stats.km_median(steps), "rmst": stats.rmst(steps, budget)}
    return out


# Engines whose count of executions at each find was fresh before the
# results said how it was taken (AFL++'s came from a file it writes only now
# and then, so its older curves do not show executions).
FRESH_BEFORE = {"search", "search-informed", "random", "libfuzzer"}


def _engine_row(mine, reference, budget, kind):
    ok = [r for r in mine if r["status"] == "ok"]
    row = {"trials": len(ok), "failed": len(mine) - len(ok), "finals": [r["best"] for r in ok],
           "curves": [r["curve"] for r in ok], "loaded": sum(bool(r.get("loaded")) for r in ok),
           "counted": bool(ok) and all("counts_at_finds" in r or kind in FRESH_BEFORE for r in ok)}
    if not ok:
        return row
    row.update(stats.spread(row["finals"]))
    row["median_low"], row["median_high"] = stats.median_interval(row["finals"])
    if reference:
        row["percent"] = 100 * row["median"] / reference
        aucs = [stats.auc_share(c, reference, budget, AUC_FROM) for c in row["curves"]]
        if None not in aucs:  # a budget of AUC_FROM or less has no area
            row["auc"] = stats.spread(aucs)["median"]
        row["times"] = _times(row, reference, budget)
    return row


def _pairs(names, rows):
    out = []
    for i, a in enumerate(names):
        for b in names[i + 1:]:
            fa, fb = rows[a]["finals"], rows[b]["finals"]
            p, test = stats.mann_whitney(fa, fb)
            pair = {"a": a, "b": b, "test": test, "p": p, "a12": None}
            if fa and fb:
                pair["a12"] = stats.a12(fa, fb)
                pair["a12_low"], pair["a12_high"] = stats.a12_interval(fa, fb)
                pair["magnitude"] = stats.magnitude(pair["a12"])
            out.append(pair)
    for pair, adjusted in zip(out, stats.holm([x["p"] for x in out])):
        pair["p_holm"] = adjusted
    return out


def _time_pairs(names, rows, budget):
    out = []
    for share in SHARES:
        mine = []
        for i, a in enumerate(names):
            for b in names[i + 1:]:
                ta, tb = rows[a].get("times"), rows[b].get("times")
                p = stats.logrank(ta[share]["times"], tb[share]["times"], budget) if ta and tb else None
                mine.append({"share": share, "a": a, "b": b, "p": p})
        for pair, adjusted in zip(mine, stats.holm([x["p"] for x in mine])):
            pair["p_holm"] = adjusted
        out += mine
    return out


def _benchmark(p, b, results, ref):
    reference = ref.get("value") if ref else None
    names = list(p.engines)
    rows = {e: _engine_row([r for r in results if r["engine"] == e and r["program"] == b.program
                            and r["elements"] == b.elements], reference, p.seconds, p.engines[e]["kind"])
            for e in names}
    return {"bench": b, "reference": reference, "ref": ref or {"value": None, "why": "the plan holds no reference"},
            "rows": rows, "pairs": _pairs(names, rows), "time_pairs": _time_pairs(names, rows, p.seconds) if reference else [],
            "seeds": {name: digest(data) for name, data in p.seeds[str(b)].items()}}


def _ranking(p, benches):
    """Each engine's rank by median final best on each benchmark (1 the
    highest, ties sharing the mean rank; an engine with no finished trial
    there last), averaged; its mean percent of the reference; and
    Friedman's test with the Nemenyi critical difference where it applies."""
    table = [[b["rows"][e].get("median", -math.inf) for e in p.engines] for b in benches]
    rank_rows = [stats.ranks(row) for row in table]
    out = []
    for k, e in enumerate(p.engines):
        percents = [b["rows"][e]["percent"] for b in benches if b["rows"][e].get("percent") is not None]
        out.append({"engine": e, "mean_rank": sum(r[k] for r in rank_rows) / len(rank_rows),
                    "mean_percent": sum(percents) / len(percents) if len(percents) == len(benches) else None})
    out.sort(key=lambda x: (x["mean_rank"], -(x["mean_percent"] or 0)))
    n, k = len(benches), len(p.engines)
    if n < 2 or k < 3:
        return out, {"why": f"not applicable: it needs at least 2 benchmarks and 3 engines (here {n} and {k})"}
    if all(len(set(row)) == 1 for row in table):
        return out, {"why": "not applicable: every engine has the same median on every benchmark"}
    statistic, pvalue = stats.friedman(table)
    return out, {"benchmarks": n, "engines": k, "statistic": statistic, "p": pvalue,
                 "cd": stats.critical_difference(k, n)}


def build(root, records_dir=None):
    """The data model of the experiment in ``root``."""
    p = plan.load(root)
    results = trials_of(root, p)
    refs, ref_source = _references(p, records_dir)
    benches = [_benchmark(p, b, results, refs.get(str(b))) for b in p.benchmarks]
    ranking, friedman = _ranking(p, benches)
    failed = [r for r in results if r["status"] != "ok"]
    return {"plan": p, "results": results, "benchmarks": benches, "ranking": ranking, "friedman": friedman,
            "ref_source": ref_source, "planned": len(p.all_trials()), "finished": len(results) - len(failed),
            "failed": failed, "loaded": [r for r in results if r.get("loaded")],
            "informed": {e: (x["kind"] in engines.INFORMED if x["kind"] != "custom" else None)
                         for e, x in p.engines.items()},
            "versions": {e: sorted({r.get("version") or "unknown" for r in results if r["engine"] == e}) for e in p.engines},
            "commands": {e: next((r.get("command") for r in results if r["engine"] == e), "not run") for e in p.engines},
            "software": sorted({f"sortcost {x.get('sortcost')} (commit {x.get('commit')})"
                                for x in (r.get("software") for r in results) if x}),
            "machines": sorted({_machine_text(r.get("machine") or p.made.get("machine") or {}) for r in results}),
            "cpu": {"engine": sum(r.get("engine_cpu_seconds") or 0 for r in results),
                    "watcher": sum(r.get("watcher_cpu_seconds") or 0 for r in results),
                    "delay": max([r.get("most_costing_delay_seconds") or 0 for r in results] + [0]),
                    "counted": sorted({r.get("cpu_counted") for r in results if r.get("cpu_counted")})}}


def _machine_text(m):
    return (f"{m.get('cpu', 'unknown CPU')}, {m.get('cores', '?')} cores, {m.get('memory', '?')} memory, "
            f"{m.get('kernel', 'unknown kernel')}, CPU frequency governor: {m.get('governor', 'not readable')}")
