# SPDX-License-Identifier: MIT
# The extension sortcost._sortcost from the library's own sources, and the
# version from the C header: the one place it is written.
import re
import subprocess
from pathlib import Path

from pybind11.setup_helpers import Pybind11Extension, build_ext
from setuptools import setup
from setuptools.command.build_py import build_py

root = Path(__file__).parent
header = (root / "include/sortcost/sortcost.h").read_text()
version = ".".join(re.search(rf"#define SORTCOST_VERSION_{part} (\d+)", header).group(1) for part in ("MAJOR", "MINOR", "PATCH"))

sources = ["python/sortcost_module.cpp", "lib/Runtime/Hooks.cpp", "lib/Runtime/version.cpp", "qsort/kinds.cpp",
           "isort/isort.cpp", "support/read_input.cpp"]
sources += [f"batch/{unit}.cpp" for unit in ("corpus", "descriptors", "pool", "scoring")]
extension = Pybind11Extension(
    "sortcost._sortcost", sorted(sources), cxx_std=20,
    include_dirs=["include", "lib/Runtime", "support", "qsort", "isort", "batch"],
    extra_compile_args=["-O2", "-fvisibility=hidden"])

# sortcost-eval's man page, with the version filled in.
page = root / "build" / "pip" / "sortcost-eval.1"
page.parent.mkdir(parents=True, exist_ok=True)
page.write_text((root / "man/sortcost-eval.1").read_text().replace("@PROJECT_VERSION@", version))



def source_commit():
    """The commit of this source tree, or "" where it is not a git checkout."""
    def git(*args):
        try:
            return subprocess.run(["git", "-C", str(root), *args], capture_output=True, text=True, check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            return ""
    commit = git("rev-parse", "HEAD")
    return commit + (" with uncommitted changes" if commit and git("status", "--porcelain", "--untracked-files=no") else "")


class build_py_with_commit(build_py):
    """The package, and _build.py naming the commit it was built from."""

    def run(self):
        super().run()
        out = Path(self.build_lib, "sortcost", "_build.py")
        out.write_text(f'# SPDX-License-Identifier: MIT\n# Written by the build.\ncommit = "{source_commit()}"\n')


# The records, so that sortcost-eval has its references after a pip install alone.
setup(version=version, ext_modules=[extension], cmdclass={"build_ext": build_ext, "build_py": build_py_with_commit},
      data_files=[("share/man/man1", [str(page.relative_to(root))]),
                  ("share/sortcost/records", ["records/records.tsv"])])
