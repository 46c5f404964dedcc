# SPDX-License-Identifier: MIT
"""sortcost-eval end to end, on short trials of built-in and custom engines,
and its statistics against hand-computed values."""
import json
import math
import os
import shutil
import signal
import stat
import subprocess
import sys
import time

import pytest

import sortcost
from sortcost.eval import engines, plan, stats
from sortcost.eval.watch import count_in_name, watcher

SOURCE = os.environ.get("SORTCOST_SOURCE", ".")
RECORD_16 = os.path.join(SOURCE, "records", "qsort_words", "n00016-c764.bin")


def eval_cmd(*args, **kw):
    return subprocess.run([sys.executable, "-m", "sortcost.eval", *args], capture_output=True, text=True, **kw)


def result(root, engine, trial=1, bench="qsort_words-16"):
    with open(os.path.join(root, "trials", engine, bench, f"trial-{trial}", "result.json")) as f:
        return json.load(f)


def table(path):
    rows = [line.split("\t") for line in open(path).read().splitlines() if not line.startswith("#")]
    return [dict(zip(rows[0], r)) for r in rows[1:]]


def records_copy(tmp_path, cost_16=None):
    """A records folder holding the source tree's records.tsv, the
    qsort_words 16 row's cost changed to ``cost_16`` if given."""
    folder = tmp_path / f"records-{cost_16}"
    folder.mkdir()
    lines = open(os.path.join(SOURCE, "records", "records.tsv")).read().splitlines(keepends=True)
    for i, line in enumerate(lines):
        f = line.split("\t")
        if cost_16 is not None and f[:2] == ["qsort_words", "16"]:
            f[3] = str(cost_16)
            lines[i] = "\t".join(f)
    (folder / "records.tsv").write_text("".join(lines))
    return str(folder)


def test_an_experiment_end_to_end(tmp_path):
    # A folder and a custom command's path relative to where it is run; the
    # custom engine copies the record in and lists the seeds it was given.
    shutil.copy(RECORD_16, tmp_path / "record.bin")
    copy = "copy=cp record.bin {corpus}/record; ls {seeds} > got-{seed}; sleep {seconds}"
    r = eval_cmd("run", "ev", "--engine", "random", "--engine", copy, "--benchmark", "qsort_words:16",
                 "--time", "2", "--trials", "2", "-j", "2", "--records", records_copy(tmp_path), cwd=tmp_path)
    assert r.returncode == 0, r.stderr
    lines = r.stdout.splitlines()
    assert sorted(lines)[0].startswith("copy qsort_words:16 trial 1: ok, best 764") and len(lines) == 4
    assert (tmp_path / "got-1").read_text().split() == ["pattern", "zeros"]
    root = str(tmp_path / "ev")
    assert eval_cmd("report", root).returncode == 0
    seeds_cost = sortcost.qsort_words_cost(bytes(64))
    for row in table(os.path.join(root, "trials.tsv")):
        assert row["status"] == "ok"
        # The best file costs what the row says; the curve starts at the
        # seeds at time 0 and rises to it.
        with open(os.path.join(root, row["best_file"]), "rb") as f:
            assert sortcost.qsort_words_cost(f.read()) == int(row["best"])
        curve = [line.split("\t") for line in open(os.path.join(root, row["curve_file"])).read().splitlines()[1:]]
        assert curve[0][0] == "0.0" and int(curve[0][2]) >= seeds_cost
        assert [int(c[2]) for c in curve] == sorted(int(c[2]) for c in curve) and int(curve[-1][2]) == int(row["best"])
    copy_row = next(r for r in table(os.path.join(root, "summary.tsv")) if r["engine"] == "copy")
    assert (copy_row["median"], copy_row["percent"], copy_row["reached_100"]) == ("764", "100", "2/2")
    pair = table(os.path.join(root, "pairs.tsv"))[0]
    assert (pair["engine_a"], pair["engine_b"], pair["test"]) == ("random", "copy", "asymptotic")
    page = open(os.path.join(root, "report.html")).read()
    assert "data:image/png;base64," in page and "http" not in page.replace("http-equiv", "")
    assert "<td></td>" not in page and "2 of 4 trials" not in page and "4 of 4 trials finished, 0 failed" in page
    r = eval_cmd("run", root, "--engine", "random", "--benchmark", "qsort_words:64", "--time", "2", "--trials", "2")
    assert r.returncode == 1 and "holds another experiment" in r.stderr


def test_resume_after_an_interrupt_keeps_finished_trials(tmp_path):
    root = str(tmp_path / "ev")
    args = ["run", root, "--engine", "random", "--benchmark", "qsort_bytes:16", "--time", "1.5", "--trials", "3",
            "-j", "1"]
    proc = subprocess.Popen([sys.executable, "-m", "sortcost.eval", *args], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)
    first = os.path.join(root, "trials", "random", "qsort_bytes-16", "trial-1", "result.json")
    deadline = time.monotonic() + 30
    while not os.path.exists(first) and time.monotonic() < deadline:
        time.sleep(0.05)
    proc.send_signal(signal.SIGINT)  # the second trial has begun, or is about to
    out, err = proc.communicate(timeout=20)
    assert proc.returncode == 130, err
    assert "trials are done and kept" in err
    stamp = os.stat(first).st_mtime_ns
    assert not os.path.exists(first.replace("trial-1", "trial-3"))
    assert eval_cmd(*args).returncode == 0
    assert os.stat(first).st_mtime_ns == stamp  # kept, not run again
    assert all(result(root, "random", k, "qsort_bytes-16")["status"] == "ok" for k in (1, 2, 3))


def test_failures_are_said_and_counted(tmp_path):
    root = str(tmp_path / "ev")
    marker = f"sleep 300.{os.getpid()}"  # TERM ignored in the shell is ignored by sleep too
    # libFuzzer's harness is neither on PATH nor in a build folder here.
    r = eval_cmd("run", root, "--engine", "fails=echo broken >&2; exit 3", "--engine", f"stubborn=trap '' TERM; {marker}",
                 "--engine", "libfuzzer", "--benchmark", "qsort_words:16", "--time", "2", "--trials", "2", "-j", "3",
                 cwd=tmp_path, env={**os.environ, "SORTCOST_SOURCE": ""})
    assert r.returncode == 1
    failed = result(root, "fails")
    assert failed["status"] == "failed" and failed["exit_status"] == 3 and "broken" in failed["log_tail"]
    assert result(root, "stubborn")["status"] == "ok"
    assert "maximize_qsort_words: not on PATH" in result(root, "libfuzzer")["reason"]
    assert r.stderr.count("--preset search") == 1  # at once, then "failed as ... did"
    assert "4 of 6 trials failed" in r.stderr and "stubborn qsort_words:16 trial 1: ok" in r.stdout
    left = subprocess.run(["pgrep", "-f", marker], capture_output=True, text=True).stdout
    assert left == "", "a process outlived its trial"
    assert eval_cmd("report", root).returncode == 0
    page = open(os.path.join(root, "report.md")).read()
    assert "2 of 6 trials finished, 4 failed" in page and "--preset search" in page
    ranking = [line.split(" | ")[1] for line in page.split("## Ranking")[1].splitlines() if line.startswith("| ") and
               line[2].isdigit()]
    assert ranking[0] == "stubborn"


def test_every_process_of_the_engine_is_counted_and_ended(tmp_path):
    # A shell that starts a busy grandchild and exits at once, and one that
    # leaves the process group: both are the engine's, and both are ended.
    root = str(tmp_path / "ev")
    busy = f"busy=sh -c 'while :; do :; done; echo {os.getpid()}' & setsid sh -c 'sleep 300; echo {os.getpid()}' & exit 0"
    r = eval_cmd("run", root, "--engine", busy, "--benchmark", "qsort_words:16", "--time", "2", "--trials", "1")
    assert r.returncode == 0, r.stderr
    res = result(root, "busy")
    assert res["engine_cpu_seconds"] > 1.5 and res["ran_seconds"] >= 2 and not res["loaded"]
    assert subprocess.run(["pgrep", "-f", str(os.getpid())], capture_output=True).stdout == b""
    idle = eval_cmd("run", str(tmp_path / "idle"), "--engine", "idle=sleep {seconds}", "--benchmark", "qsort_words:16",
                    "--time", "1", "--trials", "1")
    assert "loaded" in idle.stdout and result(str(tmp_path / "idle"), "idle")["loaded"]


def fake_tools(folder):
    """Stand-ins for the built-in engines' programs, so that their command
    lines can be checked here."""
    folder.mkdir()
    for name in ("sortcost-search", "afl-fuzz", "maximize_qsort_words"):
        path = folder / name
        path.write_text("#!/bin/sh\necho fake 1.0\n")
        path.chmod(path.stat().st_mode | stat.S_IEXEC)
    return str(folder)


@pytest.mark.parametrize("kind, where", [
    ("search", ["--starts", "SEEDS"]),
    ("search-informed", ["--starts", "SEEDS", "--fresh"]),
    ("libfuzzer", ["CORPUS", "SEEDS"]),
    ("aflpp", ["-i", "SEEDS"]),
    ("random", ["CORPUS", "SEEDS"]),
])
def test_every_builtin_engine_gets_the_seeds(tmp_path, monkeypatch, kind, where):
    monkeypatch.setenv("PATH", fake_tools(tmp_path / "bin") + ":" + os.environ["PATH"])
    seeds, trial = str(tmp_path / "seeds"), str(tmp_path / "trial")
    launch = engines.prepare({"kind": kind, "command": None}, plan.parse_benchmark("qsort_words:16"), 5, 1, trial, seeds)
    want = [{"SEEDS": seeds, "CORPUS": os.path.join(trial, "corpus")}.get(w, w) for w in where]
    argv = launch.argv
    assert any(argv[i:i + len(want)] == want for i in range(len(argv))), argv


@pytest.mark.parametrize("bench, size, costed", [
    ("qsort_bytes:16", 16, True), ("qsort_bytes:16", 17, False),
    ("qsort_words:16", 67, True), ("qsort_words:16", 68, False),
])
def test_the_watcher_takes_inputs_of_the_benchmark_size(tmp_path, bench, size, costed):
    w = watcher(str(tmp_path), plan.parse_benchmark(bench), time.time())
    w.poll()
    (tmp_path / "input").write_bytes(bytes(range(size)))
    w.poll(final=True)  # first seen at the last look: costed all the same
    assert (w.costed, bool(w.notes)) == ((1, False) if costed else (0, True))


def test_the_watcher_looks_into_every_folder(tmp_path):
    w = watcher(str(tmp_path), plan.parse_benchmark("qsort_words:4"), time.time())
    deep = tmp_path / "sub"
    deep.mkdir()
    w.poll()
    (deep / "later").write_bytes(b"\2\0\0\0\1\0\0\0")  # its parent's time does not change
    w.poll()
    w.poll()  # it has held still since the last look
    assert (w.costed, w.best) == (1, 12)
    try:
        for _ in range(1200):  # deeper than Python's stack
            deep = deep / "d"
            deep.mkdir()
        (deep / "deep").write_bytes(b"\3\0\0\0\1\0\0\0\2\0\0\0")
        w.poll(final=True)
        assert w.costed == 2
    finally:  # taken down from the bottom: shutil.rmtree (pytest's clean-up) recurses as deep
        if (deep / "deep").exists():
            (deep / "deep").unlink()
        while deep != tmp_path / "sub":
            deep.rmdir()
            deep = deep.parent


@pytest.mark.parametrize("name, count", [
    ("id:000002,src:000001,time:7,execs:134,op:havoc,rep:2,+cov", 134),  # AFL++'s queue
    ("i123-c456", 123),  # sortcost-search's and the random engine's
    ("crash-5f3a", None), ("id:000001,execs:,op:havoc", None), ("xi12-c3", None),
])
def test_a_find_takes_the_count_its_name_carries(tmp_path, name, count):
    assert count_in_name(str(tmp_path / name)) == count
    w = watcher(str(tmp_path), plan.parse_benchmark("qsort_words:4"), time.time())
    (tmp_path / name).write_bytes(b"\2\0\0\0\1\0\0\0")
    w.poll(executions=999, final=True)  # the engine's count when it was seen
    assert w.curve[-1][1] == (999 if count is None else count)


def test_a_report_stays_the_same_when_the_records_change(tmp_path):
    root = str(tmp_path / "ev")
    r = eval_cmd("run", root, "--engine", "random", "--benchmark", "qsort_words:16", "--time", "1", "--trials", "2",
                 "--records", records_copy(tmp_path))
    assert r.returncode == 0, r.stderr
    assert eval_cmd("report", root).returncode == 0
    first = {name: open(os.path.join(root, name)).read() for name in ("summary.tsv", "pairs.tsv", "report.md")}
    higher = records_copy(tmp_path, 1000)
    assert eval_cmd("report", root, env={**os.environ, "SORTCOST_RECORDS": higher}).returncode == 0
    assert {name: open(os.path.join(root, name)).read() for name in first} == first
    assert eval_cmd("report", root, "--records", higher).returncode == 0
    page = open(os.path.join(root, "report.md")).read()
    assert "Reference: 1,000" in page and "given with --records" in page


def test_without_records_the_page_says_so(tmp_path):
    root = str(tmp_path / "ev")
    empty = tmp_path / "home"
    empty.mkdir()
    env = {**os.environ, "SORTCOST_SOURCE": "", "SORTCOST_RECORDS": "", "HOME": str(empty), "XDG_DATA_HOME": "",
           "PATH": "/bin:/usr/bin"}
    code = "import sys; from sortcost.eval import references; references._installed = lambda: []; " \
           "from sortcost.eval.cli import main; sys.exit(main(sys.argv[1:]))"
    for args in (["run", root, "--engine", "random", "--benchmark", "qsort_bytes:8", "--time", "1", "--trials", "1"],
                 ["report", root]):
        r = subprocess.run([sys.executable, "-c", code, *args], capture_output=True, text=True, cwd=empty, env=env)
        assert r.returncode == 0, r.stderr
    page = open(os.path.join(root, "report.md")).read()
    assert "No reference: no records.tsv found; give a records folder with --records" in page


def test_a_trial_repeats_from_its_plan_alone(tmp_path):
    root, again = str(tmp_path / "ev"), str(tmp_path / "again")
    assert eval_cmd("run", root, "--engine", "random", "--benchmark", "qsort_bytes:16", "--time", "1",
                    "--trials", "1").returncode == 0
    r = eval_cmd("reproduce", root, "random/qsort_bytes-16/1", again)
    assert r.returncode == 0, r.stderr
    assert json.load(open(os.path.join(again, "plan.json"))) == json.load(open(os.path.join(root, "plan.json")))
    assert result(again, "random", 1, "qsort_bytes-16")["seeds_sha256"] == result(root, "random", 1, "qsort_bytes-16")["seeds_sha256"]


@pytest.mark.skipif(shutil.which("parallel") is None, reason="needs GNU parallel")
def test_plan_through_gnu_parallel(tmp_path):
    root = str(tmp_path / "ev")
    planned = eval_cmd("plan", root, "--engine", "random", "--engine", "idle=sleep {seconds}", "--benchmark",
                       "qsort_bytes:8", "--time", "1", "--trials", "2")
    assert planned.returncode == 0
    ran = subprocess.run(["parallel", "-j", "2", "--halt", "now,fail=1"], input=planned.stdout.replace(
        "sortcost-eval ", f"{sys.executable} -m sortcost.eval "), capture_output=True, text=True, timeout=60)
    assert ran.returncode == 0, ran.stderr
    assert eval_cmd("report", root).returncode == 0
    ids = {"/".join((r["engine"], f"{r['program']}-{r['elements']}", r["trial"])) for r in table(os.path.join(root, "trials.tsv"))}
    assert ids == {line.split()[-1] for line in planned.stdout.splitlines()}


def test_seeds_from_a_folder(tmp_path):
    seeds = tmp_path / "seeds"
    seeds.mkdir()
    (seeds / "two-one").write_bytes(b"\2\0\0\0\1\0\0\0")
    p = plan.plan(["random"], ["qsort_words:4"], 1, 1, str(seeds))
    assert p.seeds == {"qsort_words:4": {"two-one": b"\2\0\0\0\1\0\0\0"}}
    (seeds / "long").write_bytes(bytes(20))
    with pytest.raises(plan.PlanError, match="long holds more than the 4 elements"):
        plan.plan(["random"], ["qsort_words:4"], 1, 1, str(seeds))


def test_mann_whitney_and_holm_against_hand_computed_values():
    # 3 against 3, separated: 2 of the 20 orders are as extreme.
    assert stats.mann_whitney([1, 2, 3], [4, 5, 6]) == (pytest.approx(0.1), "exact")
    assert stats.mann_whitney([1, 2, 3], [3, 5, 6])[1] == "asymptotic"  # a tie
    assert stats.mann_whitney(list(range(9)), list(range(10, 19)))[1] == "asymptotic"
    assert stats.mann_whitney([1], [2, 3]) == (None, "none") and stats.mann_whitney([5, 5], [5, 5]) == (1.0, "none")
    assert stats.holm([0.01, 0.04, 0.03, None, 0.005]) == pytest.approx([0.03, 0.06, 0.06, None, 0.02])
    assert stats.holm([0.5, 0.2]) == [0.5, 0.4]


def test_effect_sizes_and_intervals():
    assert stats.a12([3, 4], [1, 4]) == (1 + 1 + 0 + 0.5) / 4
    assert [stats.magnitude(x) for x in (0.5, 0.45, 0.6, 0.3, 0.71, 0.2)] == \
        ["negligible", "negligible", "small", "medium", "large", "large"]
    low, high = stats.a12_interval([5, 6, 7, 8], [1, 2, 3, 4])
    assert low == high == 1.0
    assert stats.median_interval([3, 3, 3]) == (3, 3)
    assert stats.a12_interval([1, 9, 3, 7], [2, 8, 4, 6]) == stats.a12_interval([1, 9, 3, 7], [2, 8, 4, 6])


def test_times_to_reach_as_censored_data():
    curve = [(0.0, 0, 5), (0.5, None, 10), (2.0, None, 20)]
    assert stats.time_to(curve, 20) == 2.0 and math.isinf(stats.time_to(curve, 21))  # exactly the target counts
    # Five trials, one never there (censored at 10 s): S falls at 1, 2 (two), 5.
    steps = stats.kaplan_meier([1, 2, math.inf, 2, 5], 10)
    assert steps == [(0, 1), (1, 0.8), (2, pytest.approx(0.4)), (5, pytest.approx(0.2))]
    assert stats.km_median(steps) == 2 and stats.rmst(steps, 10) == pytest.approx(1 + 0.8 + 0.4 * 3 + 0.2 * 5)
    assert stats.km_median(stats.kaplan_meier([1, math.inf, math.inf], 10)) is None
    # Log-rank, 1 event in each of two groups of one: O = 1, E = 1/2, V = 1/4.
    assert stats.logrank([1], [2], 10) == pytest.approx(0.3173, abs=1e-4)
    assert stats.logrank([math.inf], [math.inf], 10) is None
    # 5 from 0.1 s to 0.5 s, 10 to 2 s, 20 to 10 s, over log time, of 20.
    assert stats.auc_share(curve, 20, 10, 0.1) == pytest.approx(
        (5 * math.log(0.5 / 0.1) + 10 * math.log(2 / 0.5) + 20 * math.log(10 / 2)) / (20 * math.log(10 / 0.1)))


def test_ranks_friedman_and_critical_difference():
    assert stats.ranks([5, 9, 5]) == [2.5, 1, 2.5]
    # Demsar's table of q_0.05: 2.343 for 3 engines, 2.569 for 4.
    assert stats.critical_difference(3, 6) == pytest.approx(2.343 * math.sqrt(3 * 4 / 36), abs=1e-3)
    assert stats.critical_difference(4, 5) == pytest.approx(2.569 * math.sqrt(4 * 5 / 30), abs=1e-3)
    statistic, p = stats.friedman([[1, 2, 3], [1, 2, 3], [1, 2, 3]])
    assert statistic == pytest.approx(6.0) and p == pytest.approx(math.exp(-3))


@pytest.mark.skipif(shutil.which("chromium") is None, reason="needs Debian's chromium")
def test_the_page_draws_in_a_browser(tmp_path):
    root = str(tmp_path / "ev")
    assert eval_cmd("run", root, "--engine", "random", "--benchmark", "qsort_bytes:16", "--time", "1",
                    "--trials", "2", "-j", "2").returncode == 0
    assert eval_cmd("report", root).returncode == 0
    shot = str(tmp_path / "page.png")
    subprocess.run(["chromium", "--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                    "--disable-component-update", "--disable-sync", "--no-first-run",
                    f"--user-data-dir={tmp_path / 'profile'}", f"--screenshot={shot}", "--window-size=1200,1600",
                    "file://" + os.path.join(root, "report.html")], capture_output=True, timeout=120, check=False)
    import matplotlib.image
    pixels = matplotlib.image.imread(shot)
    colours = {tuple(p) for p in pixels.reshape(-1, pixels.shape[-1])[::97]}
    assert len(colours) > 20, "the screenshot is blank"
