# SPDX-License-Identifier: MIT
# The extension sortcost._sortcost from the library's own sources, and the
# version from the C header: the one place it is written.
import re
from pathlib import Path

from pybind11.setup_helpers import Pybind11Extension, build_ext
from setuptools import setup

root = Path(__file__).parent
header = (root / "include/sortcost/sortcost.h").read_text()
version = ".".join(re.search(rf"#define SORTCOST_VERSION_{part} (\d+)", header).group(1) for part in ("MAJOR", "MINOR", "PATCH"))

sources = ["python/sortcost_module.cpp", "lib/Runtime/Hooks.cpp", "lib/Runtime/version.cpp", "qsort/kinds.cpp",
           "isort/isort.cpp", "support/read_input.cpp"]
sources += [f"tools/common/{unit}.cpp" for unit in ("corpus", "pool", "safe_file", "scoring", "tsv")]
extension = Pybind11Extension(
    "sortcost._sortcost", sorted(sources), cxx_std=20,
    include_dirs=["include", "lib/Runtime", "support", "qsort", "isort", "tools/common"],
    extra_compile_args=["-O2", "-fvisibility=hidden"])

# sortcost-eval's man page, with the version filled in.
page = root / "build" / "pip" / "sortcost-eval.1"
page.parent.mkdir(parents=True, exist_ok=True)
page.write_text((root / "man/sortcost-eval.1").read_text().replace("@PROJECT_VERSION@", version))

setup(version=version, ext_modules=[extension], cmdclass={"build_ext": build_ext},
      data_files=[("share/man/man1", [str(page.relative_to(root))])])
