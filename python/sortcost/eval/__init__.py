# SPDX-License-Identifier: MIT
"""sortcost-eval: search engines run in trials against the sortcost benchmarks.

Each trial gives one engine one benchmark (a program and a number of
elements) for the same time; a watcher costs every input the engine writes
into its corpus folder, through the library, and keeps the best cost over
time. ``report`` turns the trials into tables, statistics and a page.

Modules: ``plan`` (the experiment and its trials), ``engines`` (the built-in
engines and custom commands), ``watch`` (the corpus watcher), ``trial`` (one
trial), ``runner`` (many, several at a time), ``stats`` and ``report``.
"""
