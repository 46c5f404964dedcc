# SPDX-License-Identifier: MIT
"""One trial: an engine on a benchmark for the plan's time, watched.

The engine runs in a process group of its own; at the time (or when the
trial is stopped) the whole group gets SIGTERM, then SIGKILL after a grace,
so nothing outlives the trial. The result is written once the engine is
gone, whole (result.json, curve.tsv, best.bin): a trial without result.json
did not finish and is run again from scratch.
"""
import os
import resource
import shlex
import shutil
import signal
import subprocess
import time

from . import engines, plan
from .files import tsv, write_atomically, write_json
from .watch import watcher

POLL = 0.25   # seconds between looks at the corpus
GRACE = 3.0   # seconds between SIGTERM and SIGKILL
RESULT = "result.json"


class stopped(Exception):
    """The trial was told to stop (SIGINT, SIGTERM)."""


def done(root, t):
    return os.path.exists(os.path.join(t.folder(root), RESULT))


def _end_group(pid, reaped=None):
    """SIGTERM to the engine's whole group, SIGKILL after the grace (to what
    is left of it too, once the engine itself has gone); returns the
    engine's exit status and rusage (``reaped`` if it was already waited
    for)."""
    def signal_group(sig):
        try:
            os.killpg(pid, sig)
        except (ProcessLookupError, PermissionError):
            pass
    signal_group(signal.SIGTERM)
    deadline = time.monotonic() + GRACE
    while reaped is None and time.monotonic() < deadline:
        done_pid, status, usage = os.wait4(pid, os.WNOHANG)
        if done_pid:
            reaped = status, usage
            break
        time.sleep(0.05)
    signal_group(signal.SIGKILL)
    if reaped is None:
        _, status, usage = os.wait4(pid, 0)
        reaped = status, usage
    return reaped


def _log_tail(path, lines=20):
    try:
        with open(path, "rb") as f:
            f.seek(0, os.SEEK_END)
            f.seek(max(0, f.tell() - 8192))
            return "\n".join(f.read().decode(errors="replace").splitlines()[-lines:])
    except OSError:
        return ""


def run(root, trial_id, core=None):
    """Runs the trial ``trial_id`` of the plan in ``root`` unless it is done."""
    root = os.path.abspath(root)  # the engines run elsewhere
    p = plan.load(root)
    t = p.find(trial_id)
    folder = t.folder(root)
    if done(root, t):
        return
    shutil.rmtree(folder, ignore_errors=True)  # what an interrupted run left
    os.makedirs(os.path.join(folder, "corpus"))
    if core is not None:
        try:
            os.sched_setaffinity(0, {core})  # the engine inherits it
        except OSError:
            pass
    result = {"engine": t.engine, "program": t.bench.program, "elements": t.bench.elements, "trial": t.number,
              "seed": t.number, "seconds": p.seconds, "status": "ok"}

    def stop(signum, _frame):
        raise stopped(signum)
    for sig in (signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, stop)

    log_path = os.path.join(folder, "engine.log")
    try:
        launch = engines.prepare(t.engine, p.engines[t.engine], t.bench, p.seconds, t.number, folder)
    except engines.EngineMissing as e:
        result.update(status="failed", reason=str(e), command="", version="")
        _finish(folder, result, None, t)
        return
    result["command"] = shlex.join(launch.argv)
    result["version"] = launch.version
    own_start = resource.getrusage(resource.RUSAGE_SELF)
    with open(log_path, "wb") as log:
        started = time.time()
        proc = subprocess.Popen(launch.argv, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                cwd=folder if launch.in_trial_folder else None, env={**os.environ, **launch.env}, start_new_session=True)
    w = watcher(launch.watch, t.bench, started)
    reaped = None
    try:
        while time.time() - started < p.seconds:
            time.sleep(min(POLL, max(0.0, p.seconds - (time.time() - started))))
            w.poll(launch.executions(folder) if launch.executions else None)
            done_pid, status, usage = os.wait4(proc.pid, os.WNOHANG)
            if done_pid:
                reaped = status, usage
                break
        ended = time.time() - started
        status, usage = _end_group(proc.pid, reaped)
    except stopped:
        _end_group(proc.pid, reaped)
        raise
    proc.returncode = 0  # waited for here, not by Popen
    w.poll(launch.executions(folder) if launch.executions else None, final=True)
    exit_status = os.waitstatus_to_exitcode(status)
    own = resource.getrusage(resource.RUSAGE_SELF)
    result.update(
        ran_seconds=round(ended, 3), exit_status=exit_status,
        executions=launch.executions(folder) if launch.executions else None,
        engine_cpu_seconds=round(usage.ru_utime + usage.ru_stime, 3),
        watcher_cpu_seconds=round(own.ru_utime + own.ru_stime - own_start.ru_utime - own_start.ru_stime, 3),
        inputs_costed=w.costed, most_costing_delay_seconds=round(w.most_delay, 3),
        passed_over=w.notes[:100], passed_over_count=len(w.notes))
    # An engine that ends before the time with a failure status failed; one
    # that ends by itself at its own time limit, or stops by a signal of
    # ours, did not.
    if ended < p.seconds - 1 and exit_status not in (0, None):
        result.update(status="failed", reason=f"exit status {exit_status}", log_tail=_log_tail(log_path))
    _finish(folder, result, w, t)


def _finish(folder, result, w, t):
    curve = w.curve if w else []
    result["best"] = w.best if w else 0
    result["seconds_to_best"] = w.best_seconds if w else None
    result["best_file"] = None
    if w and w.best_input is not None:
        write_atomically(os.path.join(folder, "best.bin"), w.best_input)
        result["best_file"] = "best.bin"
    write_atomically(os.path.join(folder, "curve.tsv"), tsv(["seconds", "executions", "best"], curve))
    result["curve_file"] = "curve.tsv"
    write_json(os.path.join(folder, RESULT), result)
