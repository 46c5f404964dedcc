# SPDX-License-Identifier: MIT
# The library as a CMake package (find_package(sortcost), target
# sortcost::sortcost) and for pkg-config, and the Debian package.
include(CMakePackageConfigHelpers)

set(SORTCOST_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/sortcost)
install(TARGETS sortcost EXPORT sortcostTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/sortcost/sortcost.h ${PROJECT_SOURCE_DIR}/include/sortcost/costs.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/sortcost)
install(EXPORT sortcostTargets NAMESPACE sortcost:: DESTINATION ${SORTCOST_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/sortcostConfig.cmake.in
  ${PROJECT_BINARY_DIR}/sortcostConfig.cmake INSTALL_DESTINATION ${SORTCOST_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/sortcostConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/sortcostConfig.cmake ${PROJECT_BINARY_DIR}/sortcostConfigVersion.cmake
  DESTINATION ${SORTCOST_CMAKE_DIR})

# pkg-config finds the prefix from where the file is, so the package can be
# installed under any prefix (cmake --install --prefix) and still be right.
file(RELATIVE_PATH SORTCOST_PC_TO_PREFIX ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" SORTCOST_PC_TO_PREFIX "${SORTCOST_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/sortcost.pc.in ${PROJECT_BINARY_DIR}/sortcost.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/sortcost.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

set(CPACK_PACKAGE_NAME sortcost)
set(CPACK_PACKAGE_VENDOR "sortcost")
set(CPACK_PACKAGE_CONTACT "sortcost developers <sortcost@invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "cost-counting sort benchmarks for worst-case input search")
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Three command-line benchmarks, qsort_words, qsort_bytes and isort_words,"
  "that sort one input file and print the exact number of cost steps the sort"
  "took, the same on every machine. With sortcost-score, which scores a whole"
  "corpus in one process, sortcost-ceiling, which writes the costliest inputs"
  "known, and a library of the in-process costs (C: sortcost/sortcost.h, C++:"
  "sortcost/costs.h; CMake package sortcost, pkg-config sortcost).")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)
