# SPDX-License-Identifier: MIT
"""What a reader needs to repeat an experiment: the machine it ran on, the
sortcost it used (version and source commit) and when."""
import datetime
import os
import platform

import sortcost


def _first(path, key=None):
    """The first line of ``path`` (or the value of its first line ``key:``),
    or None."""
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            for line in f:
                if key is None:
                    return line.strip()
                name, _, value = line.partition(":")
                if name.strip() == key:
                    return value.strip()
    except OSError:
        pass
    return None


def machine():
    """CPU model, cores, memory, kernel and the CPU frequency governor
    (where readable) of this machine."""
    memory = _first("/proc/meminfo", "MemTotal")
    return {"cpu": _first("/proc/cpuinfo", "model name") or platform.processor() or "unknown",
            "cores": os.cpu_count(),
            "memory": memory or "unknown",
            "kernel": f"{platform.system()} {platform.release()}",
            "governor": _first("/sys/devices/system/cpu/cpu0/cpufreq/scaling_governor") or "not readable",
            "python": platform.python_version()}


def software():
    return {"sortcost": sortcost.__version__, "commit": getattr(sortcost, "source_commit", "") or "unknown"}


def now():
    return datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
