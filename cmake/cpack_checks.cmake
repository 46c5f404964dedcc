# SPDX-License-Identifier: MIT
# Run by cpack: a package without a maintainer is not made.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
  message(FATAL_ERROR "set SORTCOST_MAINTAINER (\"Name <address>\") when configuring, to make the Debian packages")
endif()
