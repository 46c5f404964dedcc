# SPDX-License-Identifier: MIT
"""The engines a trial can run: the built-in ones and custom commands.

Every engine starts from the same inputs (``{seeds}``, a folder) and writes
the inputs it keeps into the trial's corpus folder (``{corpus}``); the
watcher costs them. A built-in engine is looked for on
PATH, then in the build folders of the working directory (or of
$SORTCOST_SOURCE, a sortcost source tree); where it is not there, the trial
fails saying how to build it.
"""
import os
import re
import shlex
import shutil
import subprocess
import sys
from dataclasses import dataclass, field

import sortcost

BUILTIN = {
    "search": "sortcost-search --threads 1, starting from the seeds alone (--starts), writing each new best into the corpus",
    "search-informed": "sortcost-search --threads 1 --fresh: the seeds and its own constructions (McIlroy's adversary's "
                       "input, for words runs of 0 and 2^31) as starts; informed",
    "libfuzzer": "libFuzzer on the cost-guided harness maximize_PROGRAM, -max_len the benchmark's bytes, the seeds as "
                 "its second corpus folder",
    "aflpp": "AFL++ on the persistent-mode harness maximize_PROGRAM, -G the benchmark's bytes, -i the seeds",
    "random": "uniform random inputs of the benchmark's size, each new best (above the seeds') kept",
}
# Arms that start from more than the seeds: knowledge of the sort built in.
INFORMED = {"search-informed"}
PLACEHOLDERS = ("corpus", "seeds", "seconds", "bytes", "elements", "program", "seed")


class EngineMissing(Exception):
    """An engine that cannot run here: the message says how to get it."""


def parse_engine(entry):
    """(name, kind, command) of an --engine value: a built-in engine's name,
    or NAME=COMMAND for a shell command with placeholders."""
    name, eq, command = entry.partition("=")
    if eq:
        for word in re.findall(r"\{(\w*)\}", command):
            if word not in PLACEHOLDERS:
                raise ValueError(f"engine {name}: no placeholder {{{word}}} (there are {', '.join(PLACEHOLDERS)})")
        return name, "custom", command
    if entry not in BUILTIN:
        raise ValueError(f"no engine '{entry}': built-in engines are {', '.join(BUILTIN)}, or give NAME=COMMAND")
    return entry, entry, None


@dataclass
class launch:
    argv: list
    watch: str  # the folder holding the engine's inputs
    version: str
    env: dict = field(default_factory=dict)
    # The executions the engine has reported so far, or None: read from the
    # trial folder (its log, its stats) or from the names of its inputs.
    executions: object = None
    # Built-in engines run in the trial's folder, which keeps whatever else
    # they write; a custom command where sortcost-eval was started, so that
    # its own relative paths hold.
    in_trial_folder: bool = True


def _roots():
    roots = [os.getcwd()]
    if os.environ.get("SORTCOST_SOURCE"):
        roots.append(os.environ["SORTCOST_SOURCE"])
    return roots


def _find(name, build_paths, how):
    """A program on PATH, or under a build folder of the roots."""
    found = shutil.which(name)
    if found:
        return found
    for root in _roots():
        for rel in build_paths:
            path = os.path.join(root, rel)
            if os.access(path, os.X_OK):
                return path
    where = " or ".join(build_paths) if build_paths else "PATH"
    raise EngineMissing(f"{name}: not on PATH nor in {where}: {how}")


def _first_line(argv):
    try:
        out = subprocess.run(argv, capture_output=True, text=True, timeout=10, check=False)
    except (OSError, subprocess.TimeoutExpired):
        return "unknown"
    text = (out.stdout or out.stderr).strip()
    return text.splitlines()[0] if text else "unknown"


def _executions_in_names(folder):
    """The largest count in names like i123-c456 (search and random)."""
    def read(_trial):
        most = None
        try:
            for entry in os.scandir(folder):
                m = re.match(r"i(\d+)-c\d+$", entry.name)
                if m:
                    most = max(most or 0, int(m.group(1)))
        except OSError:
            return None
        return most
    return read


def _executions_in_log(trial):
    """libFuzzer's: the last status line's count (#N ...)."""
    try:
        with open(os.path.join(trial, "engine.log"), "rb") as f:
            f.seek(0, os.SEEK_END)
            f.seek(max(0, f.tell() - 65536))
            tail = f.read().decode(errors="replace")
    except OSError:
        return None
    counts = re.findall(r"^#(\d+)\s", tail, re.M)
    return int(counts[-1]) if counts else None


def _executions_in_stats(corpus):
    def read(_trial):
        try:
            with open(os.path.join(corpus, "default", "fuzzer_stats"), encoding="utf-8", errors="replace") as f:
                for line in f:
                    key, _, value = line.partition(":")
                    if key.strip() == "execs_done":
                        return int(value.strip())
        except (OSError, ValueError):
            pass
        return None
    return read


def _search(bench, secs, seed, corpus, seeds, informed):
    exe = _find("sortcost-search", ["build/release/tools/search/sortcost-search", "build/test/tools/search/sortcost-search"],
                "build it with 'cmake --workflow --preset release' and install it, or run from the source tree")
    argv = [exe, bench.program, str(bench.elements), "--threads", "1", "--starts", seeds] + (["--fresh"] if informed else [])
    return launch(argv + ["--time", secs, "--seed", str(seed), "--corpus", corpus], corpus, _first_line([exe, "--version"]),
                  executions=_executions_in_names(corpus))


def _libfuzzer(bench, secs, seed, corpus, seeds):
    harness = f"maximize_{bench.program}"
    exe = _find(harness, [f"build/search/fuzz/{harness}"],
                "build it with 'cmake --workflow --preset search' (needs clang and libclang-rt-14-dev)")
    clang = shutil.which("clang") or shutil.which("clang++")
    version = "libFuzzer, " + (_first_line([clang, "--version"]) if clang else "clang unknown")
    return launch([exe, f"-max_len={bench.bytes}", f"-max_total_time={secs}", f"-seed={seed}",
                   "-print_final_stats=1", corpus, seeds], corpus, version, executions=_executions_in_log)


def _aflpp(bench, secs, seed, corpus, seeds):
    harness = f"maximize_{bench.program}"
    afl = _find("afl-fuzz", [], "install Debian's afl++")
    exe = _find(harness, [f"build/afl/fuzz/{harness}"], "build it with 'cmake --workflow --preset afl' (needs afl++)")
    env = {"AFL_NO_UI": "1", "AFL_SKIP_CPUFREQ": "1", "AFL_I_DONT_CARE_ABOUT_MISSING_CRASHES": "1",
           "AFL_NO_AFFINITY": "1", "AFL_BENCH_UNTIL_CRASH": ""}
    version = next((line for line in _help_lines(afl) if "afl-fuzz" in line), "afl-fuzz, version unknown")
    return launch([afl, "-i", seeds, "-o", corpus, "-G", str(bench.bytes), "-V", secs, "-s", str(seed), "--", exe],
                  os.path.join(corpus, "default", "queue"), version, env, _executions_in_stats(corpus))


def prepare(entry, bench, seconds, seed, trial, seeds):
    """How to run the engine of plan entry ``entry`` for a trial whose folder
    is ``trial``, starting from the inputs in the folder ``seeds``: its
    command line, the folder to watch, its version."""
    corpus = os.path.join(trial, "corpus")
    kind = entry["kind"]
    secs = str(int(seconds)) if float(seconds).is_integer() else str(seconds)
    if kind in ("search", "search-informed"):
        return _search(bench, secs, seed, corpus, seeds, kind in INFORMED)
    if kind == "random":
        return launch([sys.executable, "-m", "sortcost.eval.random_engine", bench.program, str(bench.elements), secs,
                       str(seed), corpus, seeds], corpus, f"sortcost {sortcost.__version__} (random inputs)",
                      executions=_executions_in_names(corpus))
    if kind == "libfuzzer":
        return _libfuzzer(bench, secs, seed, corpus, seeds)
    if kind == "aflpp":
        return _aflpp(bench, secs, seed, corpus, seeds)
    # A custom command, run by the shell with its placeholders filled in.
    values = {"corpus": shlex.quote(corpus), "seeds": shlex.quote(seeds), "seconds": secs, "bytes": str(bench.bytes),
              "elements": str(bench.elements), "program": bench.program, "seed": str(seed)}
    command = re.sub(r"\{(\w+)\}", lambda m: values[m.group(1)], entry["command"])
    return launch(["/bin/sh", "-c", command], corpus, "custom command", in_trial_folder=False)


def _help_lines(afl):
    try:
        out = subprocess.run([afl, "-h"], capture_output=True, text=True, timeout=10, check=False)
    except (OSError, subprocess.TimeoutExpired):
        return []
    # Without the colour codes afl-fuzz writes even into a pipe.
    return re.sub(r"\x1b\[[0-9;]*m", "", out.stdout + out.stderr).splitlines()
