# SPDX-License-Identifier: MIT
"""Files others keep: written whole or not at all."""
import hashlib
import json
import os
import re
import tempfile


def write_atomically(path, data):
    """Replace ``path`` with ``data`` (bytes or str): a temporary file in the
    same folder, synced, renamed over it, and the folder synced."""
    if isinstance(data, str):
        data = data.encode()
    folder = os.path.dirname(os.path.abspath(path))
    fd, temp = tempfile.mkstemp(dir=folder, prefix="." + os.path.basename(path) + ".")
    try:
        with os.fdopen(fd, "wb") as f:
            f.write(data)
            f.flush()
            os.fsync(f.fileno())
        os.chmod(temp, 0o644)
        os.replace(temp, path)
    except BaseException:
        try:
            os.unlink(temp)
        except FileNotFoundError:
            pass
        raise
    dir_fd = os.open(folder, os.O_RDONLY)
    try:
        os.fsync(dir_fd)
    finally:
        os.close(dir_fd)


def write_json(path, value):
    write_atomically(path, json.dumps(value, indent=1, sort_keys=True) + "\n")


def read_json(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def tsv(columns, rows):
    """A tab-separated table: the header, then one line a row, each field
    escaped as sortcost's tools escape them (\\\\, \\t, \\n, \\r)."""

    def field(v):
        s = "" if v is None else str(v)
        return s.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")

    return "".join("\t".join(field(v) for v in row) + "\n" for row in [columns, *rows])


_ESCAPES = {"\\\\": "\\", "\\t": "\t", "\\n": "\n", "\\r": "\r"}


def unescape(field):
    """A field as sortcost's tools write it, read back; a bad escape is a
    ValueError."""
    def one(m):
        if m.group(0) not in _ESCAPES:
            raise ValueError(f"bad escape {m.group(0)!r}")
        return _ESCAPES[m.group(0)]
    return re.sub(r"\\.?", one, field, flags=re.S)


def read_tsv(path, columns):
    """The rows of a table sortcost's tools wrote: the header must name
    ``columns``; lines beginning with '#' and the header repeated are passed
    over; every row has exactly that many fields, unescaped. A ValueError
    names the file and line of anything else."""
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read()
    if text and not text.endswith("\n"):
        raise ValueError(f"{path}: the last line has no newline (cut short?)")
    lines = text.split("\n")[:-1]
    header = "\t".join(columns)
    if not lines or lines[0] != header:
        raise ValueError(f"{path}:1: the header is not {header!r}")
    rows = []
    for number, line in enumerate(lines[1:], 2):
        if line.startswith("#") or line == header:
            continue
        fields = line.split("\t")
        if len(fields) != len(columns):
            raise ValueError(f"{path}:{number}: {len(fields)} fields, not {len(columns)}")
        try:
            rows.append([unescape(x) for x in fields])
        except ValueError as e:
            raise ValueError(f"{path}:{number}: {e}") from None
    return rows


def digest(data):
    """The SHA-256 of ``data`` (bytes), in hex."""
    return hashlib.sha256(data).hexdigest()
