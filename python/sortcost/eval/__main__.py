# SPDX-License-Identifier: MIT
"""python3 -m sortcost.eval: the same as the command sortcost-eval."""
import sys

from .cli import main

sys.exit(main())
