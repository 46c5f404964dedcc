# SPDX-License-Identifier: MIT
"""The experiment: engines, benchmarks, time and trials, kept in DIR/plan.json,
and where each trial's files go."""
import hashlib
import os
import re
from dataclasses import dataclass

import sortcost

from . import engines, provenance, references
from .files import read_json, write_atomically, write_json

PLAN = "plan.json"
NAME = re.compile(r"^[A-Za-z0-9_.+-]+$")


class PlanError(Exception):
    """A plan that cannot be made or does not fit: the message says why.
    `usage`: the command line was at fault."""

    def __init__(self, message, usage=False):
        super().__init__(message)
        self.usage = usage


@dataclass(frozen=True)
class benchmark:
    program: str
    elements: int

    @property
    def bytes(self):
        return self.elements * sortcost.element_sizes[self.program]

    def __str__(self):
        return f"{self.program}:{self.elements}"


def parse_benchmark(text):
    program, _, n = text.partition(":")
    if program not in sortcost.programs or not n.isdigit() or not 1 <= int(n) <= 16384:
        raise PlanError(f"a benchmark is PROGRAM:N, PROGRAM one of {', '.join(sortcost.programs)} "
                        f"and N from 1 to 16384, not '{text}'", usage=True)
    return benchmark(program, int(n))


@dataclass(frozen=True)
class trial:
    engine: str
    bench: benchmark
    number: int  # from 1; also the engine's seed

    @property
    def id(self):
        return f"{self.engine}/{self.bench.program}-{self.bench.elements}/{self.number}"

    def folder(self, root):
        return os.path.join(root, "trials", self.engine, f"{self.bench.program}-{self.bench.elements}",
                            f"trial-{self.number}")


def default_seeds(bench):
    """The starting inputs every engine gets unless --seeds gives others:
    one of zeros and one of a fixed pattern (the first bytes of SHAKE-256 of
    the text "sortcost-eval"), each of the benchmark's size."""
    return {"zeros": bytes(bench.bytes), "pattern": hashlib.shake_256(b"sortcost-eval").digest(bench.bytes)}


def seeds_in(folder, benchmarks):
    """The files of ``folder`` (names beginning with '.' passed over), read
    whole, the same for every benchmark; each must fit every benchmark."""
    try:
        names = sorted(e.name for e in os.scandir(folder) if not e.name.startswith(".") and e.is_file())
    except OSError as e:
        raise PlanError(f"--seeds {folder}: {e.strerror}") from None
    if not names:
        raise PlanError(f"--seeds {folder}: no file in it")
    seeds = {}
    for name in names:
        with open(os.path.join(folder, name), "rb") as f:
            seeds[name] = f.read()
        if not seeds[name]:
            raise PlanError(f"--seeds {folder}: {name} is empty (the programs cannot read an empty input)")
        for b in benchmarks:
            if len(seeds[name]) // sortcost.element_sizes[b.program] > b.elements:
                raise PlanError(f"--seeds {folder}: {name} holds more than the {b.elements} elements of {b}")
    return seeds


class plan:
    """An experiment: engines, benchmarks, time, trials and every engine's
    starting inputs (hex in the plan, so that the plan alone repeats a
    trial); and, written with it, the references and where it was made."""

    def __init__(self, engine_texts, benchmarks, seconds, trials, seeds_dir=None):
        self.engines = {}  # name: {"kind": built-in name or "custom", "command": shell text for custom}
        for entry in engine_texts:
            try:
                name, kind, command = engines.parse_engine(entry)
            except ValueError as e:
                raise PlanError(str(e), usage=True) from None
            if not NAME.match(name):
                raise PlanError(f"an engine's name is letters, digits and _.+-, not '{name}'", usage=True)
            if name in self.engines:
                raise PlanError(f"engine '{name}' is given twice", usage=True)
            self.engines[name] = {"kind": kind, "command": command}
        self.benchmarks = [parse_benchmark(b) if isinstance(b, str) else b for b in benchmarks]
        if not self.engines or not self.benchmarks:
            raise PlanError("give at least one --engine and one --benchmark", usage=True)
        if len(set(self.benchmarks)) != len(self.benchmarks):
            raise PlanError("a benchmark is given twice", usage=True)
        if not seconds > 0 or not 1 <= trials <= 1000:
            raise PlanError("--time must be above 0 and --trials from 1 to 1000", usage=True)
        self.seconds = float(seconds)
        self.trials = int(trials)
        given = seeds_in(seeds_dir, self.benchmarks) if seeds_dir else None
        self.seeds_from = f"the files of {os.path.abspath(seeds_dir)}" if seeds_dir else "default"
        self.seeds = {str(b): given or default_seeds(b) for b in self.benchmarks}
        self.references = {}
        self.made = {}

    def experiment(self):
        """What makes two plans the same experiment."""
        return {"engines": [{"name": n, **e} for n, e in self.engines.items()],
                "benchmarks": [str(b) for b in self.benchmarks], "seconds": self.seconds, "trials": self.trials,
                "seeds": {b: {name: data.hex() for name, data in s.items()} for b, s in self.seeds.items()}}

    def to_json(self):
        return {**self.experiment(), "seeds_from": self.seeds_from, "references": self.references, "made": self.made}

    @classmethod
    def from_json(cls, j):
        p = cls.__new__(cls)
        p.engines = {e["name"]: {"kind": e["kind"], "command": e["command"]} for e in j["engines"]}
        for e in p.engines.values():
            if e["kind"] != "custom" and e["kind"] not in engines.BUILTIN:
                raise ValueError(f"no built-in engine '{e['kind']}'")
        p.benchmarks = [parse_benchmark(b) for b in j["benchmarks"]]
        p.seconds = float(j["seconds"])
        p.trials = int(j["trials"])
        p.seeds = {b: {name: bytes.fromhex(h) for name, h in s.items()} for b, s in j["seeds"].items()}
        if set(p.seeds) != {str(b) for b in p.benchmarks}:
            raise ValueError("the seeds are not those of the benchmarks")
        p.seeds_from = j.get("seeds_from", "")
        p.references = j.get("references", {})
        p.made = j.get("made", {})
        return p

    def all_trials(self):
        return [trial(e, b, k) for b in self.benchmarks for e in self.engines for k in range(1, self.trials + 1)]

    def find(self, trial_id):
        for t in self.all_trials():
            if t.id == trial_id:
                return t
        raise PlanError(f"no trial '{trial_id}' in the plan")

    def write_seeds(self, bench, folder):
        """The benchmark's starting inputs as files in ``folder``."""
        os.makedirs(folder, exist_ok=True)
        for name, data in self.seeds[str(bench)].items():
            write_atomically(os.path.join(folder, name), data)


def load(root):
    path = os.path.join(root, PLAN)
    try:
        return plan.from_json(read_json(path))
    except FileNotFoundError:
        raise PlanError(f"{root}: no {PLAN}: make one with 'sortcost-eval plan' or 'run'") from None
    except (ValueError, KeyError, TypeError) as e:
        raise PlanError(f"{path}: not a plan ({e})") from None


def make_or_check(root, wanted, records=None, keep=False):
    """The plan in ``root``: ``wanted`` written there if it has none, with
    the references of ``records`` (a folder, or the first found) and this
    machine frozen into it (unless ``keep``: a plan copied whole, to repeat
    a trial); else the one there, which must be the same experiment (trials
    already run are kept and reused)."""
    os.makedirs(root, exist_ok=True)
    path = os.path.join(root, PLAN)
    if not os.path.exists(path) and keep:
        write_json(path, wanted.to_json())
        return wanted
    if not os.path.exists(path):
        try:
            wanted.references = references.freeze(wanted.benchmarks, records)
        except (OSError, ValueError) as e:
            raise PlanError(f"--records: {e}") from None
        wanted.made = {"date": provenance.now(), "machine": provenance.machine(), **provenance.software()}
        write_json(path, wanted.to_json())
        return wanted
    there = load(root)
    if wanted is not None and there.experiment() != wanted.experiment():
        raise PlanError(f"{root} holds another experiment ({PLAN}); use a new folder, or the same options")
    return there
