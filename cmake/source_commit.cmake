# SPDX-License-Identifier: MIT
# Writes OUT, the Python package's _build.py, with the commit of the source
# tree SOURCE ("" where it is not a git checkout or git is missing), at every
# build, so that it never names a commit the build is not of. The file is
# rewritten only when the commit changes.
execute_process(COMMAND git -C "${SOURCE}" rev-parse HEAD OUTPUT_VARIABLE commit ERROR_QUIET
  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
if(failed)
  set(commit "")
endif()
execute_process(COMMAND git -C "${SOURCE}" status --porcelain --untracked-files=no OUTPUT_VARIABLE changes ERROR_QUIET
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(commit AND changes)
  string(APPEND commit " with uncommitted changes")
endif()
set(text "# SPDX-License-Identifier: MIT\n# Written by the build.\ncommit = \"${commit}\"\n")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE "${OUT}" "${text}")
endif()
