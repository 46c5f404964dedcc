# SPDX-License-Identifier: MIT
"""One trial: an engine on a benchmark for the plan's time, watched.

The engine starts from the plan's seeds, written into the trial's folder,
and the watcher costs them at time 0, so that every engine's curve starts
at the same point. The engine runs in a process group of its own, and this
process adopts whatever it leaves behind: at the time (or when the trial is
stopped) the group and every descendant get SIGTERM, then SIGKILL after a
grace, so nothing outlives the trial, and the CPU time of all of them is
the engine's. The result is written once they are gone, whole (result.json,
curve.tsv, best.bin): a trial without result.json did not finish and is run
again from scratch.
"""
import os
import resource
import shlex
import shutil
import signal
import subprocess
import time

from . import engines, plan, procs, provenance
from .files import digest, read_json, tsv, write_atomically, write_json
from .watch import watcher

POLL = 0.25   # seconds between looks at the corpus
GRACE = 3.0   # seconds between SIGTERM and SIGKILL
RESULT = "result.json"
CURVE = ["seconds", "executions", "best"]  # curve.tsv: one row a rise
LOADED = 0.9  # an engine with less of a core than this over its time is marked


class stopped(Exception):
    """The trial was told to stop (SIGINT, SIGTERM)."""


def result_of(root, t):
    """The trial's result, or None where it has not finished."""
    try:
        return read_json(os.path.join(t.folder(root), RESULT))
    except FileNotFoundError:
        return None


def done(root, t):
    """Finished and not failed: a failed trial is run again."""
    r = result_of(root, t)
    return r is not None and r.get("status") == "ok"


def _log_tail(path, lines=20):
    try:
        with open(path, "rb") as f:
            f.seek(0, os.SEEK_END)
            f.seek(max(0, f.tell() - 8192))
            return "\n".join(f.read().decode(errors="replace").splitlines()[-lines:])
    except OSError:
        return ""


def _prepare_folder(folder, core):
    shutil.rmtree(folder, ignore_errors=True)  # what an interrupted run left
    os.makedirs(os.path.join(folder, "corpus"))
    if core is not None:
        try:
            os.sched_setaffinity(0, {core})  # the engine inherits it
        except OSError:
            pass


def _watch(proc, launch, w, folder, seconds):
    """Looks at the corpus until the time is up or the engine has ended with
    every process it started; returns the seconds it ran and its wait
    status."""
    started = w.started
    statuses = []
    try:
        while time.time() - started < seconds:
            time.sleep(min(POLL, max(0.0, seconds - (time.time() - started))))
            w.poll(launch.executions(folder) if launch.executions else None)
            if not statuses:
                pid, status = os.waitpid(proc.pid, os.WNOHANG)
                if pid:
                    statuses.append(status)
            if statuses and not procs.orphans_left():
                break
        ended = time.time() - started
    finally:  # on a stop too: nothing of the engine's outlives the trial
        status = procs.end_all(proc.pid, GRACE, statuses)
        proc.returncode = 0  # waited for here, not by Popen
    return ended, status


def _first_result(p, t):
    """What a trial's result says before its engine runs."""
    return {"engine": t.engine, "program": t.bench.program, "elements": t.bench.elements, "trial": t.number,
            "seed": t.number, "seconds": p.seconds, "status": "ok", "machine": provenance.machine(),
            "software": provenance.software(),
            "seeds_sha256": {name: digest(data) for name, data in p.seeds[str(t.bench)].items()}}


def run(root, trial_id, core=None):
    """Runs the trial ``trial_id`` of the plan in ``root`` unless it is done;
    returns its result (None if it was done before)."""
    root = os.path.abspath(root)  # the engines run elsewhere
    p = plan.load(root)
    t = p.find(trial_id)
    folder = t.folder(root)
    if done(root, t):
        return None
    _prepare_folder(folder, core)
    seeds = os.path.join(folder, "seeds")
    p.write_seeds(t.bench, seeds)
    result = _first_result(p, t)

    def stop(signum, _frame):
        raise stopped(signum)
    for sig in (signal.SIGINT, signal.SIGTERM):
        signal.signal(sig, stop)

    try:
        launch = engines.prepare(p.engines[t.engine], t.bench, p.seconds, t.number, folder, seeds)
    except engines.EngineMissing as e:
        result.update(status="failed", reason=str(e), command="not run", version="not found")
        return _finish(folder, result, None)
    result.update(command=shlex.join(launch.argv), version=launch.version)
    subreaper = procs.become_subreaper()
    own_start, children_start = resource.getrusage(resource.RUSAGE_SELF), procs.children_cpu()
    w = watcher(launch.watch, t.bench, time.time())
    w.start_from(seeds)  # before the engine can touch them
    with open(os.path.join(folder, "engine.log"), "wb") as log:
        w.started = time.time()
        try:
            proc = subprocess.Popen(launch.argv, stdout=log, stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                    cwd=folder if launch.in_trial_folder else None, env={**os.environ, **launch.env},
                                    start_new_session=True)
        except OSError as e:
            result.update(status="failed", reason=f"{launch.argv[0]}: cannot start: {e.strerror}")
            return _finish(folder, result, None)
    ended, status = _watch(proc, launch, w, folder, p.seconds)
    w.poll(launch.executions(folder) if launch.executions else None, final=True)
    own = resource.getrusage(resource.RUSAGE_SELF)
    engine_cpu = procs.children_cpu() - children_start
    exit_status = os.waitstatus_to_exitcode(status)
    result.update(
        ran_seconds=round(ended, 3), exit_status=exit_status,
        executions=launch.executions(folder) if launch.executions else None,
        counts_at_finds="an input's own count where its name has one, else the engine's when the input was seen",
        engine_cpu_seconds=round(engine_cpu, 3), cpu_counted="every descendant" if subreaper else "reaped children",
        core_share=round(engine_cpu / max(ended, 1e-9), 3), loaded=engine_cpu < LOADED * ended,
        watcher_cpu_seconds=round(own.ru_utime + own.ru_stime - own_start.ru_utime - own_start.ru_stime, 3),
        inputs_costed=w.costed, most_costing_delay_seconds=round(w.most_delay, 3),
        passed_over=w.notes[:100], passed_over_count=len(w.notes))
    # An engine that ends before the time with a failure status failed; one
    # that ends by itself at its own time limit, or stops by a signal of
    # ours, did not.
    if ended < p.seconds - 1 and exit_status not in (0, None):
        result.update(status="failed", reason=f"the engine ended after {ended:.1f} s with exit status {exit_status}",
                      log_tail=_log_tail(os.path.join(folder, "engine.log")))
    return _finish(folder, result, w)


def _finish(folder, result, w):
    """Writes the trial's files, result.json last; returns the result."""
    result["best"] = w.best if w else None
    result["seconds_to_best"] = w.best_seconds if w else None
    result["best_file"] = None
    if w and w.best_input is not None:
        write_atomically(os.path.join(folder, "best.bin"), w.best_input)
        result["best_file"] = "best.bin"
    write_atomically(os.path.join(folder, "curve.tsv"), tsv(CURVE, w.curve if w else []))
    result["curve_file"] = "curve.tsv"
    write_json(os.path.join(folder, RESULT), result)
    return result
