# SPDX-License-Identifier: MIT
"""The Python module against the programs, the buffer kinds, threads and errors."""
import glob
import json
import os
import subprocess
import threading

import numpy
import pytest

import sortcost

BIN = os.environ.get("SORTCOST_BIN", "build/test")
SOURCE = os.environ.get("SORTCOST_SOURCE", ".")
PROGRAMS = {
    "isort_words": (os.path.join(BIN, "isort", "isort_words"), sortcost.isort_words_cost),
    "qsort_words": (os.path.join(BIN, "qsort", "qsort_words"), sortcost.qsort_words_cost),
    "qsort_bytes": (os.path.join(BIN, "qsort", "qsort_bytes"), sortcost.qsort_bytes_cost),
}
SCORE = os.path.join(BIN, "tools", "score", "sortcost-score")


def reported(program, path):
    out = subprocess.run([PROGRAMS[program][0], path], capture_output=True, check=False).stdout
    assert out.startswith(b"[COST] ")
    return int(out[7:])


def inputs():
    files = [os.path.join(SOURCE, "samples", "pangram.txt")]
    files += sorted(glob.glob(os.path.join(SOURCE, "records", "*", "*.bin")))
    return files


@pytest.mark.parametrize("program", sorted(PROGRAMS))
def test_costs_are_what_the_programs_print(program):
    cost = PROGRAMS[program][1]
    for path in inputs():
        with open(path, "rb") as f:
            assert cost(f.read()) == reported(program, path), path


def test_every_buffer_kind_gives_the_cost_of_its_bytes():
    words = numpy.array([9, 1, 8, 2, 7, 3, 6, 4, 5, 0, -5, 2**31 - 1], dtype="<i4")
    raw = words.tobytes() + b"\x01\x02"
    padded = bytearray(b"xx" + raw + b"yy")
    kinds = [  # a buffer, and the bytes it stands for
        (raw, raw),
        (bytearray(raw), raw),
        (memoryview(raw), raw),
        (memoryview(padded)[2:-2], raw),
        (numpy.frombuffer(raw, dtype=numpy.uint8), raw),
        (words, raw[:-2]),
        (words.view("<u4").reshape(3, 4), raw[:-2]),
    ]
    for buf, stands_for in kinds:
        for name, (_, cost) in PROGRAMS.items():
            assert cost(buf) == cost(bytes(stands_for)), (type(buf), name)
    for _, cost in PROGRAMS.values():
        assert cost(b"") == 2  # as an empty file
        with pytest.raises(BufferError):
            cost(memoryview(raw)[::2])  # not contiguous
        with pytest.raises((BufferError, ValueError)):
            cost(numpy.zeros((4, 4), dtype="<u4", order="F"))
        with pytest.raises(TypeError):
            cost("text is not bytes")


def test_eight_threads_get_the_serial_costs():
    rng = numpy.random.default_rng(15)
    bufs = [rng.integers(0, 256, size=n, dtype=numpy.uint8).tobytes() for n in (64, 4096, 20000, 1028, 7)]
    serial = [[f(b) for b in bufs] for _, f in PROGRAMS.values()]
    seen = [None] * 8

    def work(t):
        seen[t] = [[f(b) for b in bufs] for _, f in PROGRAMS.values() for _ in range(10)]

    threads = [threading.Thread(target=work, args=(t,)) for t in range(8)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for t in range(8):
        assert seen[t] == [row for row in serial for _ in range(10)]


def test_read_input_reads_as_the_programs_do(tmp_path):
    path = tmp_path / "words"
    path.write_bytes(b"\x02\0\0\0\x01\0\0\0")
    assert sortcost.read_input(path) == b"\x02\0\0\0\x01\0\0\0"
    assert sortcost.read_input(os.fsencode(path)) == path.read_bytes()

    with pytest.raises(FileNotFoundError, match="^.*open_file: No such file or directory") as e:
        sortcost.read_input(tmp_path / "missing")
    assert e.value.filename == tmp_path / "missing"
    (tmp_path / "empty").write_bytes(b"")
    with pytest.raises(OSError, match="fread: ") as e:
        sortcost.read_input(tmp_path / "empty")
    assert e.value.errno == 0
    fifo = tmp_path / "fifo"
    os.mkfifo(fifo)
    with pytest.raises(OSError, match="seek_end: Illegal seek"):
        sortcost.read_input(fifo)  # never waits for a writer


def test_score_gives_the_rows_the_tool_prints(tmp_path):
    (tmp_path / "sub").mkdir()
    (tmp_path / "sub" / "two words").write_bytes(b"\x02\0\0\0\x01\0\0\0")
    (tmp_path / "pangram").write_bytes(b"the quick brown fox")
    (tmp_path / "empty").write_bytes(b"")
    with open(os.path.join(os.fsencode(tmp_path), b"not utf-8 \xff"), "wb") as f:
        f.write(b"zz")
    os.symlink("/nonexistent/sortcost", tmp_path / "dangling")
    os.mkfifo(tmp_path / "fifo")
    for programs in (None, ["qsort_bytes", "isort_words"]):
        args = [SCORE, "--json", "-j", "1"] + [a for p in programs or [] for a in ("--program", p)]
        lines = subprocess.run(args + [str(tmp_path)], capture_output=True, check=False).stdout.splitlines()
        tool = [json.loads(line) for line in lines]
        for jobs in (1, 2, 8):
            assert sortcost.score([tmp_path], programs=programs, jobs=jobs) == tool
    assert sortcost.score(str(tmp_path / "pangram"))[0]["qsort_bytes"] == reported("qsort_bytes", str(tmp_path / "pangram"))
    with pytest.raises(ValueError, match="no such program: bubble_words"):
        sortcost.score(tmp_path, programs=["bubble_words"])
    with pytest.raises(ValueError):
        sortcost.score(tmp_path, jobs=0)


def test_version_is_the_tools():
    out = subprocess.run([SCORE, "--version"], capture_output=True, check=True, text=True).stdout
    assert out.split()[-1] == sortcost.__version__


def test_many_costs_at_once_are_the_one_input_calls():
    rng = numpy.random.default_rng(3)
    rows = rng.integers(0, 256, size=(500, 64), dtype=numpy.uint8)
    mixed = [rows[0].tobytes(), bytearray(b"\2\0\0\0\1\0\0\0"), memoryview(b"xyz"), b"", rng.bytes(5000)]
    for name, (_, one) in PROGRAMS.items():
        for threads in (1, 2, 3):
            got = sortcost.costs(name, rows, threads=threads)
            assert got.dtype == numpy.uint64 and list(got) == [one(r) for r in rows]
        assert list(sortcost.costs(name, mixed)) == [one(b) for b in mixed]
        assert len(sortcost.costs(name, [])) == 0


def test_messages():
    cases = [
        (lambda: sortcost.costs("bubble_words", []), ValueError, "no such program: bubble_words"),
        (lambda: sortcost.costs(b"qsort_words", []), TypeError, "the program is a name"),
        (lambda: sortcost.costs("qsort_words", [], threads=0), ValueError, "threads must be a whole number from 1 to 1024"),
        (lambda: sortcost.costs("qsort_words", numpy.zeros((2, 2), dtype=numpy.uint16)), ValueError, "2-D, of uint8"),
        (lambda: sortcost.costs("qsort_words", numpy.zeros((4, 4), dtype=numpy.uint8)[:, ::2]), ValueError, "C-contiguous"),
        (lambda: sortcost.costs("qsort_words", ["text"]), TypeError, ""),
        (lambda: sortcost.score(".", jobs=2000), ValueError, "jobs must be a whole number from 1 to 1024"),
    ]
    for call, kind, text in cases:
        with pytest.raises(kind, match=text):
            call()


def test_other_threads_run_while_costs_are_computed():
    # A large input's cost, and many at once: another Python thread keeps
    # counting meanwhile, so the GIL was let go.
    big = bytes(range(256)) * 40000
    rows = numpy.random.default_rng(1).integers(0, 256, size=(20000, 256), dtype=numpy.uint8)
    for call in (lambda: sortcost.qsort_bytes_cost(big), lambda: sortcost.costs("qsort_words", rows, threads=1)):
        ticks = [0]
        running = [True]

        def count():
            while running[0]:
                ticks[0] += 1

        t = threading.Thread(target=count)
        t.start()
        before = ticks[0]
        call()
        during = ticks[0] - before
        running[0] = False
        t.join()
        assert during > 1000, "no other thread ran"
