# SPDX-License-Identifier: MIT
"""sortcost-eval's command line: run, plan, trial, report."""
import argparse
import os
import shlex
import sys

import sortcost

from . import engines, plan, report, runner, trial

PROG = "sortcost-eval"


def _experiment_options(p):
    p.add_argument("dir", metavar="DIR", help="the experiment's folder: its plan, trials and report")
    p.add_argument("--engine", action="append", default=[], metavar="E",
                   help="an engine: " + ", ".join(engines.BUILTIN) + ", or NAME=COMMAND, a shell command with the "
                        "placeholders " + ", ".join("{" + w + "}" for w in engines.PLACEHOLDERS) + " (repeat for more)")
    p.add_argument("--benchmark", action="append", default=[], metavar="PROGRAM:N",
                   help="a program and a number of elements, as qsort_words:64 (repeat for more)")
    p.add_argument("--time", type=float, default=None, metavar="S", help="seconds a trial (default 60)")
    p.add_argument("--trials", type=int, default=None, metavar="K", help="trials an engine and benchmark (default 10)")


def _parser():
    top = argparse.ArgumentParser(prog=PROG, description="Search engines in trials against the sortcost benchmarks: "
                                  "best cost over time, statistics and a report.")
    top.add_argument("--version", action="version", version=f"{PROG} {sortcost.__version__}")
    sub = top.add_subparsers(dest="command", metavar="COMMAND", required=True)
    p = sub.add_parser("run", help="run every trial not yet finished, J at a time")
    _experiment_options(p)
    p.add_argument("-j", "--jobs", type=int, default=None, metavar="J", help="trials at a time (default: the cores)")
    p = sub.add_parser("plan", help="write the plan and print one command line a trial")
    _experiment_options(p)
    p = sub.add_parser("trial", help="run one trial of a plan")
    p.add_argument("dir", metavar="DIR")
    p.add_argument("id", metavar="ID", help="as plan prints it: ENGINE/PROGRAM-N/K")
    p.add_argument("--core", type=int, default=None, help="the core to run on")
    p = sub.add_parser("report", help="write the tables, statistics and report of the trials finished")
    p.add_argument("dir", metavar="DIR")
    p.add_argument("--records", default=None, metavar="RECORDS", help="the records folder for the references")
    return top


def _plan(args):
    """The plan of the options, checked against DIR's; the options may be
    left out where DIR has a plan."""
    wanted = None
    if args.engine or args.benchmark or args.time is not None or args.trials is not None:
        wanted = plan.plan(args.engine, args.benchmark, 60 if args.time is None else args.time,
                           10 if args.trials is None else args.trials)
    if wanted is None:
        return plan.load(args.dir)
    return plan.make_or_check(args.dir, wanted)


def main(argv=None):
    args = _parser().parse_args(argv)
    try:
        if args.command == "trial":
            try:
                trial.run(args.dir, args.id, args.core)
            except trial.stopped:
                return 130
            return 0
        if args.command == "report":
            names = report.write(args.dir, args.records)
            print("wrote " + ", ".join(names) + f" in {args.dir}")
            return 0
        p = _plan(args)
        if args.command == "plan":
            for t in p.all_trials():
                print(shlex.join([PROG, "trial", os.path.abspath(args.dir), t.id]))
            return 0
        return runner.run(args.dir, args.jobs)
    except plan.PlanError as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 2 if e.usage else 1
    except OSError as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
