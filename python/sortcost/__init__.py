# SPDX-License-Identifier: MIT
"""The cost each sortcost benchmark program reports for an input, computed in
this process: exactly the number the program prints as "[COST] N" for a file
holding the same bytes. Safe to call from any number of threads.

sortcost.eval (and the command sortcost-eval) runs search engines against the
benchmarks in trials and reports how they compare.
"""
from ._sortcost import (  # noqa: F401
    __version__,
    costs,
    element_sizes,
    isort_words_cost,
    programs,
    qsort_bytes_cost,
    qsort_words_cost,
    read_input,
    score,
)

try:
    from ._build import commit as source_commit  # the build's source commit, "" where unknown
except ImportError:
    source_commit = ""

__all__ = ["costs", "element_sizes", "isort_words_cost", "programs", "qsort_bytes_cost", "qsort_words_cost", "read_input", "score"]
