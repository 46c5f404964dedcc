# SPDX-License-Identifier: MIT
"""sortcost-eval's command line: run, plan, trial, report, table, reproduce."""
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
    p.add_argument("--seeds", default=None, metavar="SEEDS",
                   help="every engine starts from the files in SEEDS (default: one input of zeros and one of a "
                        "fixed pattern, of the benchmark's size)")
    p.add_argument("--records", default=None, metavar="RECORDS",
                   help="the records folder whose references the plan keeps (default: the first found)")


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
    p.add_argument("--quiet", action="store_true", help=argparse.SUPPRESS)  # run prints the outcome itself
    p = sub.add_parser("report", help="write the tables, statistics and report of the trials finished")
    p.add_argument("dir", metavar="DIR")
    p.add_argument("--records", default=None, metavar="RECORDS",
                   help="score against RECORDS' references instead of those the plan keeps")
    p = sub.add_parser("table", help="print the Markdown table of median final bests of a report's data")
    p.add_argument("dir", metavar="DIR")
    p = sub.add_parser("reproduce", help="run trial TRIAL of DIR's plan again, into the folder OUT")
    p.add_argument("dir", metavar="DIR")
    p.add_argument("id", metavar="TRIAL", help="as plan prints it: ENGINE/PROGRAM-N/K")
    p.add_argument("out", metavar="OUT")
    return top


def _plan(args):
    """The plan of the options, checked against DIR's; the options may be
    left out where DIR has a plan."""
    wanted = None
    if args.engine or args.benchmark or args.time is not None or args.trials is not None or args.seeds:
        wanted = plan.plan(args.engine, args.benchmark, 60 if args.time is None else args.time,
                           10 if args.trials is None else args.trials, args.seeds)
    if wanted is None:
        return plan.load(args.dir)
    return plan.make_or_check(args.dir, wanted, args.records)


def _trial(root, trial_id, core, quiet):
    r = trial.run(root, trial_id, core)
    if r is None:
        if not quiet:
            print(f"{trial_id}: done before; kept")
        return 0
    if not quiet:
        print(runner.outcome_line(r), flush=True)
        if r["status"] != "ok":
            print(f"{PROG}: {trial_id}: {r['reason']}", file=sys.stderr)
    return 0 if r["status"] == "ok" else 1


def _reproduce(args):
    there = plan.load(args.dir)
    t = there.find(args.id)
    plan.make_or_check(args.out, there, keep=True)
    return _trial(args.out, t.id, None, False)


def _command(args):
    if args.command == "trial":
        return _trial(args.dir, args.id, args.core, args.quiet)
    if args.command == "reproduce":
        return _reproduce(args)
    if args.command == "report":
        names = report.write(args.dir, args.records)
        print("wrote " + ", ".join(names) + f" in {args.dir}")
        return 0
    if args.command == "table":
        sys.stdout.write(report.readme_table(args.dir))
        return 0
    p = _plan(args)
    if args.command == "plan":
        for t in p.all_trials():
            print(shlex.join([PROG, "trial", os.path.abspath(args.dir), t.id]))
        return 0
    return runner.run(args.dir, args.jobs)


def main(argv=None):
    args = _parser().parse_args(argv)
    try:
        return _command(args)
    except trial.stopped:
        return 130
    except plan.PlanError as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 2 if e.usage else 1
    except OSError as e:
        print(f"{PROG}: {e}", file=sys.stderr)
        return 1
