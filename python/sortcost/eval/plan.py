# SPDX-License-Identifier: MIT
"""The experiment: engines, benchmarks, time and trials, kept in DIR/plan.json,
and where each trial's files go."""
import os
import re
from dataclasses import dataclass

import sortcost

from . import engines
from .files import read_json, write_json

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


class plan:
    def __init__(self, engine_texts, benchmarks, seconds, trials):
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

    def to_json(self):
        return {"engines": [{"name": n, **e} for n, e in self.engines.items()],
                "benchmarks": [str(b) for b in self.benchmarks], "seconds": self.seconds, "trials": self.trials}

    @classmethod
    def from_json(cls, j):
        p = cls.__new__(cls)
        p.engines = {e["name"]: {"kind": e["kind"], "command": e["command"]} for e in j["engines"]}
        p.benchmarks = [parse_benchmark(b) for b in j["benchmarks"]]
        p.seconds = float(j["seconds"])
        p.trials = int(j["trials"])
        return p

    def all_trials(self):
        return [trial(e, b, k) for b in self.benchmarks for e in self.engines for k in range(1, self.trials + 1)]

    def find(self, trial_id):
        for t in self.all_trials():
            if t.id == trial_id:
                return t
        raise PlanError(f"no trial '{trial_id}' in the plan")


def load(root):
    path = os.path.join(root, PLAN)
    try:
        return plan.from_json(read_json(path))
    except FileNotFoundError:
        raise PlanError(f"{root}: no {PLAN}: make one with 'sortcost-eval plan' or 'run'") from None
    except (ValueError, KeyError, TypeError) as e:
        raise PlanError(f"{path}: not a plan ({e})") from None


def make_or_check(root, wanted):
    """The plan in ``root``: ``wanted`` written there if it has none, else
    the one there, which must be the same experiment (trials already run
    are kept and reused)."""
    os.makedirs(root, exist_ok=True)
    path = os.path.join(root, PLAN)
    if not os.path.exists(path):
        write_json(path, wanted.to_json())
        return wanted
    there = load(root)
    if wanted is not None and there.to_json() != wanted.to_json():
        raise PlanError(f"{root} holds another experiment ({PLAN}); use a new folder, or the same options")
    return there
