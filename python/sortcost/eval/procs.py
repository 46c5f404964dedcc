# SPDX-License-Identifier: MIT
"""The processes an engine starts, all of them: this process becomes their
subreaper (Linux), so that a grandchild whose parent has gone, or one that
left the process group with setsid, is still ours to end and to reap; the
CPU time of every process reaped is then in RUSAGE_CHILDREN."""
import ctypes
import os
import resource
import signal
import time

PR_SET_CHILD_SUBREAPER = 36


def become_subreaper():
    """True where the kernel lets this process adopt its orphaned descendants."""
    try:
        libc = ctypes.CDLL(None, use_errno=True)
        return libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0
    except (OSError, AttributeError):
        return False


def children_cpu():
    """User and system seconds of every descendant reaped so far."""
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def descendants(root=None):
    """The pids below ``root`` (default: this process), from /proc."""
    root = os.getpid() if root is None else root
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", "rb") as f:
                stat = f.read()
        except OSError:
            continue
        # pid (comm) state ppid ...: comm may hold spaces and parentheses.
        fields = stat[stat.rfind(b")") + 2:].split()
        children.setdefault(int(fields[1]), []).append(int(entry))
    out, todo = [], list(children.get(root, []))
    while todo:
        pid = todo.pop()
        out.append(pid)
        todo += children.get(pid, [])
    return out


def _signal_all(group, sig):
    for kill, target in [(os.killpg, group)] + [(os.kill, pid) for pid in descendants()]:
        try:
            kill(target, sig)
        except (ProcessLookupError, PermissionError):
            pass


def _reap(engine, statuses):
    """Reaps every child that has ended; the engine's status into ``statuses``."""
    while True:
        try:
            pid, status = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return
        if pid == 0:
            return
        if pid == engine:
            statuses.append(status)


def orphans_left():
    """After the engine itself was reaped: reaps those of its processes that
    have ended, and tells whether any is still running."""
    _reap(None, [])
    return bool(descendants())


def end_all(engine, grace, statuses):
    """SIGTERM to the engine's group and every descendant, SIGKILL to what is
    left after ``grace`` seconds, and every one reaped. Returns the engine's
    wait status (also if it was reaped before, into ``statuses``)."""
    _signal_all(engine, signal.SIGTERM)
    deadline = time.monotonic() + grace
    while time.monotonic() < deadline and descendants():
        _reap(engine, statuses)
        time.sleep(0.05)
    for _ in range(200):  # a process may fork while it is being ended
        left = descendants()
        _reap(engine, statuses)
        if not left:
            break
        _signal_all(engine, signal.SIGKILL)
        time.sleep(0.02)
    _reap(engine, statuses)
    return statuses[0] if statuses else 0
