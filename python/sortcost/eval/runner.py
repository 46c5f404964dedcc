# SPDX-License-Identifier: MIT
"""Every trial of a plan that has not finished, J at a time, each in a
process of its own (sortcost-eval trial DIR ID) pinned to a core of its own
where it can be. A line as each trial ends; a failed trial's reason at once
on standard error. Ctrl-C (or SIGTERM) stops the running trials, whose
engines go within seconds; finished trials are kept, and the next run goes
on with the rest."""
import math
import os
import signal
import subprocess
import sys
import time

from . import plan, trial


def _cores():
    try:
        return sorted(os.sched_getaffinity(0))
    except (AttributeError, OSError):
        return list(range(os.cpu_count() or 1))


def outcome_line(r):
    """One trial's line: engine, benchmark, trial, status, best."""
    best = "" if r.get("best") is None else f", best {r['best']:,}"
    marks = " (loaded: the engine had less than 90 % of a core)" if r.get("loaded") else ""
    return f"{r['engine']} {r['program']}:{r['elements']} trial {r['trial']}: {r['status']}{best}{marks}"


class reporter:
    """Prints each trial's outcome as it ends; keeps the failures' reasons."""

    def __init__(self, out, err):
        self.out, self.err = out, err
        self.reasons = {}  # reason: trial ids

    def ended(self, t, root, returncode, clear):
        try:
            r = trial.result_of(root, t)
        except (OSError, ValueError):
            r = None
        clear()
        if r is None:
            reason = f"the trial's process ended with status {returncode} and wrote no result"
            self.out.write(f"{t.engine} {t.bench} trial {t.number}: failed\n")
        else:
            reason = r.get("reason")
            self.out.write(outcome_line(r) + "\n")
        self.out.flush()
        if r is None or r["status"] != "ok":
            if reason not in self.reasons:
                self.err.write(f"sortcost-eval: {t.id}: {reason}\n")
            else:
                self.err.write(f"sortcost-eval: {t.id}: failed as {self.reasons[reason][0]} did\n")
            self.err.flush()
            self.reasons.setdefault(reason, []).append(t.id)

    def close(self, total):
        failed = sum(len(ids) for ids in self.reasons.values())
        if not failed:
            return 0
        if len(self.reasons) == 1:
            first = next(iter(self.reasons.values()))[0]
            self.err.write(f"sortcost-eval: {failed} of {total} trials failed, all as {first} did (the reason above)\n")
        else:
            self.err.write(f"sortcost-eval: {failed} of {total} trials failed (reasons above; the report lists them)\n")
        return 1


def _start(root, t, core):
    argv = [sys.executable, "-m", "sortcost.eval", "trial", root, t.id, "--quiet"]
    if core is not None:
        argv += ["--core", str(core)]
    return subprocess.Popen(argv, stdin=subprocess.DEVNULL)


def run(root, jobs=None, out=sys.stdout, err=sys.stderr):
    p = plan.load(root)
    todo = [t for t in p.all_trials() if not trial.done(root, t)]
    total = len(p.all_trials())
    cores = _cores()
    jobs = max(1, min(jobs or len(cores), len(todo) or 1))
    free = cores[:jobs] if len(cores) >= jobs else [None] * jobs
    running = {}  # Popen: (trial, core)
    shown = err.isatty()
    said = reporter(out, err)
    interrupted = []

    def clear():
        if shown:
            err.write("\r\033[K")

    def stop(signum, _frame):
        interrupted.append(signum)
    old = {sig: signal.signal(sig, stop) for sig in (signal.SIGINT, signal.SIGTERM)}
    began = time.monotonic()
    try:
        while (todo or running) and not interrupted:
            while todo and free and not interrupted:
                t, core = todo.pop(0), free.pop(0)
                running[_start(root, t, core)] = (t, core)
            time.sleep(0.2)
            for proc in [q for q in running if q.poll() is not None]:
                t, core = running.pop(proc)
                free.append(core)
                if not interrupted:
                    said.ended(t, root, proc.returncode, clear)
            if shown:
                finished = total - len(todo) - len(running)
                left = math.ceil(len(todo) / jobs) * p.seconds + (p.seconds if running else 0)
                err.write(f"\r\033[Ktrials done {finished} of {total}, running {len(running)}, "
                          f"about {int(left // 60)}:{int(left % 60):02d} left ({time.monotonic() - began:.0f} s so far)")
                err.flush()
    finally:
        for proc in running:
            try:
                proc.send_signal(signal.SIGTERM)
            except ProcessLookupError:
                pass
        for proc in running:
            proc.wait()
        for sig, handler in old.items():
            signal.signal(sig, handler)
        clear()
    if interrupted:
        kept = sum(trial.done(root, t) for t in p.all_trials())
        err.write(f"sortcost-eval: stopped; {kept} of {total} trials are done and kept: run again to go on\n")
        return 130
    return said.close(total)
