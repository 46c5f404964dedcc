# SPDX-License-Identifier: MIT
"""The watcher of a trial's corpus: every input an engine writes is read as
the programs read their input, costed through the library, and the best
cost kept over time."""
import os
import re
import time

import sortcost


# The count of executions an input's own name carries, where the engine
# puts it there: AFL++'s "id:...,execs:N,..." and sortcost's "i<N>-c<cost>".
COUNT_IN_NAME = re.compile(r"(?:^|,)execs:(\d+)(?:,|$)|^i(\d+)-c\d+$")


def count_in_name(path):
    m = COUNT_IN_NAME.search(os.path.basename(path))
    return int(m.group(1) or m.group(2)) if m else None


class watcher:
    """Watches ``folder`` (and the folders below it, names beginning with '.'
    passed over) for inputs of the benchmark ``bench``, timing each from
    ``started`` (time.time() when the engine started)."""

    def __init__(self, folder, bench, started):
        self.folder = folder
        self.bench = bench
        self.started = started
        self.size = sortcost.element_sizes[bench.program]
        self.known = {}     # path: (size, mtime_ns) as last costed or refused
        self.pending = {}   # path: (size, mtime_ns) seen once, costed once it holds still
        self.listed = {}    # folder: (mtime_ns, files, folders) at its last listing
        self.best = 0
        self.best_input = None
        self.best_path = None
        self.best_seconds = None
        self.curve = []     # (seconds, executions, best), one row per rise
        self.notes = []     # what was passed over, and why
        self.costed = 0
        self.most_delay = 0.0  # the longest from an input's writing to its costing, while the engine ran

    def start_from(self, seeds):
        """Costs the starting inputs in the folder ``seeds``, as at time 0:
        the curve's first point, the same for every engine."""
        names = sorted(e.name for e in os.scandir(seeds) if not e.name.startswith("."))
        data = [sortcost.read_input(os.path.join(seeds, name)) for name in names]
        costs = [int(c) for c in sortcost.costs(self.bench.program, data, threads=1)]
        if costs:
            i = max(range(len(costs)), key=costs.__getitem__)
            self.best, self.best_input, self.best_seconds = costs[i], data[i], 0.0
            self.best_path = os.path.join(seeds, names[i])
            self.curve.append((0.0, 0, costs[i]))

    def _list(self, top, found):
        """Every file below ``top``: a folder is listed again only when its
        own time has changed, but the folders below it are always looked at
        (a file written into one does not change its parent). No recursion:
        an engine's folders may nest deeper than Python's stack."""
        todo = [top]
        while todo:
            folder = todo.pop()
            try:
                mtime = os.stat(folder).st_mtime_ns
                if self.listed.get(folder, (None,))[0] != mtime:
                    files, folders = [], []
                    for e in os.scandir(folder):
                        if not e.name.startswith("."):
                            (folders if e.is_dir(follow_symlinks=False) else files).append(e.path)
                    self.listed[folder] = (mtime, files, folders)
            except OSError:
                self.listed.pop(folder, None)
                continue
            _, files, folders = self.listed[folder]
            found += files
            todo += folders

    @staticmethod
    def _stamp(path):
        try:
            st = os.stat(path)
            return st.st_size, st.st_mtime_ns
        except OSError:
            return None

    def poll(self, executions=None, final=False):
        """Looks again: inputs that have held still since the last look (or
        all, once the engine has stopped) are costed. While the engine runs
        only new names are looked at (a corpus holds thousands, and the
        watcher shares the engine's core); a file rewritten in place under
        a name already costed is seen at the last look, timed by its
        writing."""
        found = []
        if final:
            self.listed.clear()  # a folder changed within its time's last tick is not missed
        self._list(self.folder, found)
        for path in found:
            if path in self.pending or (path in self.known and not final):
                continue
            if self.known.get(path) != self._stamp(path):
                self.pending[path] = None
        ready = []
        for path, last in list(self.pending.items()):
            now = self._stamp(path)
            if now is not None and (final or now == last):
                ready.append((now[1], path, now))
                del self.pending[path]
            else:
                self.pending[path] = now
        inputs = []
        too_long = f"more than {self.bench.elements} elements"
        for mtime, path, stamp in sorted(ready):
            self.known[path] = stamp
            if stamp[0] // self.size > self.bench.elements:  # not read at all: it may be huge
                self.notes.append(f"{self._name(path)}: passed over ({too_long})")
                continue
            try:
                data = sortcost.read_input(path)
            except OSError as e:
                self.notes.append(f"{self._name(path)}: passed over ({e.strerror or e})")
                continue
            if len(data) // self.size > self.bench.elements:  # it grew since its size was taken
                self.notes.append(f"{self._name(path)}: passed over ({too_long})")
                continue
            inputs.append((mtime, path, data))
        if not inputs:
            return
        costs = sortcost.costs(self.bench.program, [d for _, _, d in inputs], threads=1)
        self.costed += len(inputs)
        if not final:
            costed_at = time.time()
            self.most_delay = max([self.most_delay] + [costed_at - mtime / 1e9 for mtime, _, _ in inputs])
        for (mtime, path, data), cost in zip(inputs, costs):
            cost = int(cost)
            if cost > self.best:
                # When the engine wrote it, as the file says, but never before
                # the rise before it nor after now.
                seconds = min(max(mtime / 1e9 - self.started, 0.0), max(0.0, time.time() - self.started))
                if self.curve:
                    seconds = max(seconds, self.curve[-1][0])
                seconds = round(seconds, 3)
                self.best, self.best_input, self.best_path, self.best_seconds = cost, data, path, seconds
                named = count_in_name(path)
                self.curve.append((seconds, executions if named is None else named, cost))

    def _name(self, path):
        return os.path.relpath(path, self.folder)

