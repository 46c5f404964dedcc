# SPDX-License-Identifier: MIT
"""The reference a benchmark's results are measured against: the exact
maximum where one is proven, else the best-known record, read from a
records.tsv through the tools' own TSV rules and frozen into the plan with
the digest of the file it came from."""
import os
import shutil
import sys

import sortcost

from .files import digest, read_tsv

COLUMNS = ["program", "elements", "bytes", "cost", "status", "method", "file"]
HOW_TO_GIVE = ("give a records folder with --records DIR (one holding records.tsv, as sortcost's source tree "
               "or its packages ship), or set SORTCOST_RECORDS")


def _installed():
    """The records installed with the package (pip: PREFIX/share/sortcost/records)
    or beside sortcost-ceiling."""
    package = os.path.dirname(os.path.abspath(sortcost.__file__))
    places = [os.path.join(sys.prefix, "share", "sortcost", "records"),
              os.path.join(package, "..", "..", "..", "..", "share", "sortcost", "records")]
    ceiling = shutil.which("sortcost-ceiling")
    if ceiling:
        places.append(os.path.join(os.path.dirname(os.path.realpath(ceiling)), "..", "share", "sortcost", "records"))
    return places


def candidates(given=None):
    """Where records.tsv is looked for, in order: given, $SORTCOST_RECORDS,
    the user's own (as sortcost-ceiling keeps them), ./records,
    $SORTCOST_SOURCE/records, then the installed ones."""
    data = os.environ.get("XDG_DATA_HOME") or os.path.expanduser("~/.local/share")
    places = [given, os.environ.get("SORTCOST_RECORDS"), os.path.join(data, "sortcost", "records"), "records"]
    if os.environ.get("SORTCOST_SOURCE"):
        places.append(os.path.join(os.environ["SORTCOST_SOURCE"], "records"))
    return [p for p in places + _installed() if p]


def find(given=None):
    """The first folder of candidates() that holds records.tsv, or None.
    A folder given but without records.tsv is a ValueError."""
    if given and not os.path.isfile(os.path.join(given, "records.tsv")):
        raise ValueError(f"{given}: no records.tsv in it")
    for place in candidates(given):
        if os.path.isfile(os.path.join(place, "records.tsv")):
            return os.path.abspath(place)
    return None


def freeze(benchmarks, given=None):
    """{benchmark text: reference} for each benchmark: value, status
    (exact or best-known), how it was found, and the records file's path and
    digest; value None and the reason where there is none."""
    folder = find(given)
    if folder is None:
        return {str(b): {"value": None, "why": "no records.tsv found; " + HOW_TO_GIVE} for b in benchmarks}
    path = os.path.join(folder, "records.tsv")
    with open(path, "rb") as f:
        sha = digest(f.read())
    rows = {(r[0], int(r[1])): r for r in read_tsv(path, COLUMNS)}
    out = {}
    for b in benchmarks:
        row = rows.get((b.program, b.elements))
        if row is None:
            out[str(b)] = {"value": None, "why": f"{path} has no record for {b}", "records": path,
                           "records_sha256": sha}
        else:
            out[str(b)] = {"value": int(row[3]), "status": row[4], "how": row[5], "records": path,
                           "records_sha256": sha}
    return out
