# SPDX-License-Identifier: MIT
"""Every trial of a plan that has not finished, J at a time, each in a
process of its own (sortcost-eval trial DIR ID) pinned to a core of its own
where it can be. Ctrl-C (or SIGTERM) stops the running trials, whose
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


def run(root, jobs=None, out=sys.stderr):
    p = plan.load(root)
    todo = [t for t in p.all_trials() if not trial.done(root, t)]
    total = len(p.all_trials())
    cores = _cores()
    jobs = max(1, min(jobs or len(cores), len(todo) or 1))
    free = cores[:jobs] if len(cores) >= jobs else [None] * jobs
    running = {}  # Popen: (trial, core)
    shown = out.isatty()
    interrupted = []

    def stop(signum, _frame):
        interrupted.append(signum)
    old = {sig: signal.signal(sig, stop) for sig in (signal.SIGINT, signal.SIGTERM)}
    began = time.monotonic()
    try:
        while (todo or running) and not interrupted:
            while todo and free and not interrupted:
                t, core = todo.pop(0), free.pop(0)
                argv = [sys.executable, "-m", "sortcost.eval", "trial", root, t.id]
                if core is not None:
                    argv += ["--core", str(core)]
                running[subprocess.Popen(argv, stdin=subprocess.DEVNULL)] = (t, core)
            time.sleep(0.2)
            for proc in [q for q in running if q.poll() is not None]:
                t, core = running.pop(proc)
                free.append(core)
                if proc.returncode != 0 and not interrupted:
                    out.write(f"\rsortcost-eval: trial {t.id} ended with status {proc.returncode}\n")
            if shown:
                finished = total - len(todo) - len(running)
                left = math.ceil(len(todo) / jobs) * p.seconds + (p.seconds if running else 0)
                out.write(f"\r\033[Ktrials done {finished} of {total}, running {len(running)}, "
                          f"about {int(left // 60)}:{int(left % 60):02d} left ({time.monotonic() - began:.0f} s so far)")
                out.flush()
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
        if shown:
            out.write("\r\033[K")
    if interrupted:
        kept = sum(trial.done(root, t) for t in p.all_trials())
        out.write(f"sortcost-eval: stopped; {kept} of {total} trials are done and kept: run again to go on\n")
        return 130
    failed = [t.id for t in p.all_trials() if not trial.done(root, t)]
    if failed:
        out.write(f"sortcost-eval: {len(failed)} trials did not finish: {', '.join(failed[:5])}\n")
        return 1
    return 0
