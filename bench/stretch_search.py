#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Stretch an input to N elements and search how often each element repeats.

Repeating every element of a costly input f times keeps its shape where the
partitions scale (docs/cost-growth.md); which elements to repeat more and
which less is a small search space of its own. This hill climb starts from
each element repeated N / m times and moves one to three repeats from one
element to another, keeping the costliest of each batch of 32 moves if it
costs no less. It prints the best cost, the inputs costed and the time, and
writes the best input to OUT.

    bench/stretch_search.py PROGRAM FILE N SECONDS SEED OUT
"""
import os
import random
import sys
import tempfile
import time

import numpy as np

import sortcost

BATCH = 32


def main(argv):
    if len(argv) != 7:
        print(__doc__.strip().splitlines()[-1].strip(), file=sys.stderr)
        return 2
    program, source, n, seconds, seed, out = argv[1], argv[2], int(argv[3]), float(argv[4]), int(argv[5]), argv[6]
    if program not in sortcost.element_sizes:
        print(f"stretch_search: no such program: '{program}'", file=sys.stderr)
        return 2
    size = sortcost.element_sizes[program]
    with open(source, "rb") as f:
        data = f.read()
    m = len(data) // size
    if m == 0 or len(data) % size or n % m:
        print(f"stretch_search: {source} must hold whole elements, and N a multiple of their count", file=sys.stderr)
        return 2
    elements = np.frombuffer(data, dtype=np.uint8).reshape(m, size)
    counts = np.full(m, n // m)

    def build(c):
        return np.repeat(elements, c, axis=0).tobytes()

    best = int(sortcost.costs(program, [build(counts)], threads=1)[0])
    rng = random.Random(seed)
    costed, start = 1, time.monotonic()
    while time.monotonic() - start < seconds:
        batch = []
        for _ in range(BATCH):
            i, j, moved = rng.randrange(m), rng.randrange(m), rng.randint(1, 3)
            if counts[i] > moved:
                c = counts.copy()
                c[i] -= moved
                c[j] += moved
                batch.append(c)
        if not batch:
            continue
        costs = sortcost.costs(program, [build(c) for c in batch], threads=1)
        costed += len(batch)
        k = int(np.argmax(costs))
        if int(costs[k]) >= best:
            best, counts = int(costs[k]), batch[k]
    elapsed = time.monotonic() - start
    folder = os.path.dirname(os.path.abspath(out))
    fd, temp = tempfile.mkstemp(dir=folder, prefix=".stretch.")
    os.fchmod(fd, 0o644)
    with os.fdopen(fd, "wb") as f:
        f.write(build(counts))
        f.flush()
        os.fsync(f.fileno())
    os.replace(temp, out)
    print(f"{program} n={n} cost={best} ({costed:,} inputs in {elapsed:.0f} s, seed {seed})")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
