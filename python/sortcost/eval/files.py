# SPDX-License-Identifier: MIT
"""Files others keep: written whole or not at all."""
import json
import os
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
