# SPDX-License-Identifier: MIT
"""The random engine: uniform random inputs of the benchmark's size, costed
in batches; each new best is written into the corpus, named i<inputs so
far>-c<cost>. The floor every engine must beat.

    python3 -m sortcost.eval.random_engine PROGRAM N SECONDS SEED CORPUS
"""
import os
import sys
import time

import numpy

import sortcost

from .files import write_atomically


def main(argv):
    program, n, seconds, seed, corpus, seeds = argv[0], int(argv[1]), float(argv[2]), int(argv[3]), argv[4], argv[5]
    size = n * sortcost.element_sizes[program]
    rng = numpy.random.default_rng(seed)
    os.makedirs(corpus, exist_ok=True)
    start, tried = time.monotonic(), 0
    starts = [sortcost.read_input(e.path) for e in os.scandir(seeds) if not e.name.startswith(".")]
    best = int(max(sortcost.costs(program, starts, threads=1), default=0))
    batch = max(16, min(4096, (1 << 22) // max(1, size * n)))  # smaller batches where each costs more
    while time.monotonic() - start < seconds:
        inputs = rng.integers(0, 256, size=(batch, size), dtype=numpy.uint8)
        costs = sortcost.costs(program, inputs, threads=1)
        i = int(costs.argmax())
        tried += batch
        if costs[i] > best:
            best = int(costs[i])
            write_atomically(os.path.join(corpus, f"i{tried}-c{best}"), inputs[i].tobytes())
    print(f"random {program} n={n}: best cost {best} after {tried} inputs")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
