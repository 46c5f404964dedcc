# SPDX-License-Identifier: MIT
# The library as a CMake package (find_package(sortcost), target
# sortcost::sortcost) and for pkg-config, and the Debian packages: sortcost
# (programs, tools, man pages, records) and libsortcost-dev (headers,
# library, CMake package, pkg-config file). Everything not marked otherwise
# belongs to the programs' component.
include(CMakePackageConfigHelpers)

set(SORTCOST_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/sortcost)
install(TARGETS sortcost EXPORT sortcostTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/include/sortcost/sortcost.h ${PROJECT_SOURCE_DIR}/include/sortcost/costs.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sortcost COMPONENT development)
install(EXPORT sortcostTargets NAMESPACE sortcost:: DESTINATION ${SORTCOST_CMAKE_DIR} COMPONENT development)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/sortcostConfig.cmake.in
  ${PROJECT_BINARY_DIR}/sortcostConfig.cmake INSTALL_DESTINATION ${SORTCOST_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/sortcostConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/sortcostConfig.cmake ${PROJECT_BINARY_DIR}/sortcostConfigVersion.cmake
  DESTINATION ${SORTCOST_CMAKE_DIR} COMPONENT development)

# pkg-config finds the prefix from where the file is, so the package can be
# installed under any prefix (cmake --install --prefix) and still be right.
file(RELATIVE_PATH SORTCOST_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" SORTCOST_PC_TO_PREFIX "${SORTCOST_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/sortcost.pc.in ${PROJECT_BINARY_DIR}/sortcost.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/sortcost.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)

# Each package's copyright (Debian's machine-readable format) and
# changelogs: the upstream one and Debian's.
set(SORTCOST_MAINTAINER "" CACHE STRING
  "Maintainer of the Debian packages, \"Name <address>\"; cpack refuses to build them without one")
set(SORTCOST_DEBIAN_REVISION 1 CACHE STRING "Debian revision of the packages")
string(TIMESTAMP SORTCOST_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
foreach(package sortcost libsortcost-dev)
  set(doc ${PROJECT_BINARY_DIR}/doc/${package})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/copyright.in ${doc}/copyright @ONLY)
  set(SORTCOST_PACKAGE ${package})
  configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.Debian.in ${doc}/changelog.Debian @ONLY)
  file(COPY_FILE ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${doc}/changelog)
  foreach(log changelog changelog.Debian)
    execute_process(COMMAND ${GZIP} -9nf ${doc}/${log})
  endforeach()
  if(package STREQUAL sortcost)
    set(component programs)
  else()
    set(component development)
  endif()
  install(FILES ${doc}/copyright ${doc}/changelog.gz ${doc}/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_PACKAGE_NAME sortcost)
set(CPACK_PACKAGE_VENDOR "sortcost")
set(CPACK_PACKAGE_CONTACT "${SORTCOST_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${SORTCOST_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_RELEASE ${SORTCOST_DEBIAN_REVISION})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack_checks.cmake)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL programs development)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME sortcost)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libsortcost-dev)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "")
set(CPACK_COMPONENT_PROGRAMS_DESCRIPTION "cost-counting sort benchmarks for worst-case input search
Three command-line benchmarks, qsort_words, qsort_bytes and isort_words,
that sort one input file and print the exact number of cost steps the sort
took, the same on every machine. With sortcost-score, which scores a whole
corpus in one process, and sortcost-ceiling, which writes the costliest
inputs known and keeps the records.")
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "cost-counting sort benchmarks: the in-process costs (development files)
The library behind the sortcost benchmarks: the cost each benchmark program
reports for an input's bytes, computed in process and safe on any number of
threads. A C interface (sortcost/sortcost.h), its C++ layer
(sortcost/costs.h), a static library, a CMake package and a pkg-config file.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
