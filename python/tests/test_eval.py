# SPDX-License-Identifier: MIT
"""sortcost-eval end to end, on short trials of a built-in and custom engines."""
import json
import math
import os
import signal
import subprocess
import sys
import time

import pytest

import sortcost
from sortcost.eval import stats

SOURCE = os.environ.get("SORTCOST_SOURCE", ".")
RECORD_16 = os.path.join(SOURCE, "records", "qsort_words", "n00016-c764.bin")


def eval_cmd(*args, **kw):
    return subprocess.run([sys.executable, "-m", "sortcost.eval", *args], capture_output=True, text=True, **kw)


def result(root, engine, trial=1, bench="qsort_words-16"):
    with open(os.path.join(root, "trials", engine, bench, f"trial-{trial}", "result.json")) as f:
        return json.load(f)


def test_an_experiment_end_to_end(tmp_path):
    # A folder and a custom command's path relative to where it is run.
    root = str(tmp_path / "ev")
    with open(RECORD_16, "rb") as f, open(tmp_path / "record.bin", "wb") as g:
        g.write(f.read())
    copy = "copy=cp record.bin {corpus}/record; sleep {seconds}"
    r = eval_cmd("run", "ev", "--engine", "random", "--engine", copy, "--benchmark", "qsort_words:16",
                 "--time", "2", "--trials", "2", "-j", "2", cwd=tmp_path)
    assert r.returncode == 0, r.stderr
    assert eval_cmd("report", root).returncode == 0
    rows = [line.split("\t") for line in open(os.path.join(root, "trials.tsv")).read().splitlines()]
    assert rows[0] == ["engine", "program", "elements", "trial", "status", "best", "seconds_to_best", "executions",
                       "best_file", "curve_file"]
    assert len(rows) == 5
    for row in rows[1:]:
        best = int(row[5])
        assert row[4] == "ok"
        # The best file costs what the row says, and the curve rises to it.
        with open(os.path.join(root, row[8]), "rb") as f:
            assert sortcost.qsort_words_cost(f.read()) == best
        curve = [line.split("\t") for line in open(os.path.join(root, row[9])).read().splitlines()[1:]]
        assert [int(c[2]) for c in curve] == sorted(int(c[2]) for c in curve) and int(curve[-1][2]) == best
        assert [float(c[0]) for c in curve] == sorted(float(c[0]) for c in curve)
    assert {int(r[5]) for r in rows[1:] if r[0] == "copy"} == {764}
    # Each input is costed within a second of its writing.
    for row in rows[1:]:
        with open(os.path.join(root, os.path.dirname(row[8]), "result.json")) as f:
            assert json.load(f)["most_costing_delay_seconds"] < 1
    summary = [line.split("\t") for line in open(os.path.join(root, "summary.tsv")).read().splitlines()]
    copy_row = next(r for r in summary if r[0] == "copy")
    assert copy_row[3:6] == ["2", "0", "764"] and copy_row[12] == "100"
    pairs = open(os.path.join(root, "pairs.tsv")).read()
    assert "qsort_words\t16\trandom\tcopy\t" in pairs
    page = open(os.path.join(root, "report.html")).read()
    assert "data:image/png;base64," in page and "http" not in page.replace("http-equiv", "")
    # A run on a folder with a different experiment is refused.
    r = eval_cmd("run", root, "--engine", "random", "--benchmark", "qsort_words:64", "--time", "2", "--trials", "2")
    assert r.returncode == 1 and "holds another experiment" in r.stderr


def test_resume_after_an_interrupt_keeps_finished_trials(tmp_path):
    root = str(tmp_path / "ev")
    args = ["run", root, "--engine", "random", "--benchmark", "qsort_bytes:16", "--time", "1.5", "--trials", "3",
            "-j", "1"]
    proc = subprocess.Popen([sys.executable, "-m", "sortcost.eval", *args], stdout=subprocess.PIPE,
                            stderr=subprocess.PIPE, text=True)
    time.sleep(2.4)  # the first trial has ended, the second is running
    proc.send_signal(signal.SIGINT)
    out, err = proc.communicate(timeout=20)
    assert proc.returncode == 130, err
    assert "trials are done and kept" in err
    first = os.path.join(root, "trials", "random", "qsort_bytes-16", "trial-1", "result.json")
    stamp = os.stat(first).st_mtime_ns
    assert not os.path.exists(first.replace("trial-1", "trial-3"))
    assert eval_cmd(*args).returncode == 0
    assert os.stat(first).st_mtime_ns == stamp  # kept, not run again
    assert all(result(root, "random", k, "qsort_bytes-16")["status"] == "ok" for k in (1, 2, 3))


def test_failing_and_stubborn_engines(tmp_path):
    root = str(tmp_path / "ev")
    marker = f"sleep 300.{os.getpid()}"  # TERM ignored in the shell is ignored by sleep too
    stubborn = f"stubborn=trap '' TERM; {marker}"
    started = time.monotonic()
    r = eval_cmd("run", root, "--engine", "fails=echo broken >&2; exit 3", "--engine", stubborn,
                 "--engine", "random", "--benchmark", "qsort_words:16", "--time", "2", "--trials", "1", "-j", "3")
    assert r.returncode == 0, r.stderr
    assert time.monotonic() - started < 2 + 3 + 6  # the time, the grace, and start-up
    failed = result(root, "fails")
    assert failed["status"] == "failed" and failed["exit_status"] == 3 and "broken" in failed["log_tail"]
    assert result(root, "stubborn")["status"] == "ok"
    assert result(root, "random")["status"] == "ok"
    left = subprocess.run(["pgrep", "-f", marker], capture_output=True, text=True).stdout
    assert left == "", "a process outlived its trial"


def test_inputs_that_must_be_passed_over(tmp_path):
    root = str(tmp_path / "ev")
    good = "\\002\\000\\000\\000\\001\\000\\000\\000"
    engine = ("odd=mkfifo {corpus}/fifo; ln -s /dev/zero {corpus}/zero; mkdir {corpus}/folder; : > {corpus}/empty; "
              "head -c 400 /dev/urandom > {corpus}/large; printf '" + good + "' > {corpus}/folder/good; sleep {seconds}")
    r = eval_cmd("run", root, "--engine", engine, "--benchmark", "qsort_words:16", "--time", "2", "--trials", "1",
                 timeout=30)
    assert r.returncode == 0, r.stderr
    res = result(root, "odd")
    assert res["best"] == 12  # the words 2, 1: all the rest passed over
    notes = " ".join(res["passed_over"])
    for name in ("fifo", "zero", "empty", "large"):
        assert name + ": passed over" in notes


def test_statistics_against_hand_computed_values():
    assert stats.a12([3, 4], [1, 4]) == (1 + 1 + 0 + 0.5) / 4
    assert stats.mann_whitney([1, 2, 3], [4, 5, 6]) == pytest.approx(0.1)  # exact: 2 of the 20 orders
    assert stats.mann_whitney([1], [2, 3]) is None
    assert stats.mann_whitney([5, 5], [5, 5]) == 1.0
    s = stats.spread([1, 2, 3, 4])
    assert (s["q1"], s["median"], s["q3"], s["min"], s["max"]) == (1.75, 2.5, 3.25, 1, 4)
    assert stats.median_time([1.0, math.inf, 3.0]) == 3.0 and math.isinf(stats.median_time([1.0, math.inf, math.inf]))
    curve = [(0.5, None, 10), (2.0, None, 20)]
    assert (stats.best_at(curve, 0.1), stats.best_at(curve, 1), stats.best_at(curve, 3)) == (0, 10, 20)
    assert stats.time_to(curve, 15) == 2.0 and math.isinf(stats.time_to(curve, 21))
    assert stats.ranks([5, 9, 5]) == [2.5, 1, 2.5]


@pytest.mark.skipif(not any(os.access(os.path.join(d, "chromium"), os.X_OK) for d in os.environ["PATH"].split(":")),
                    reason="needs Debian's chromium")
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
