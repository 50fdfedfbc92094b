# What `cmake --install` and the Debian package put where: the programs,
# the two libraries with their headers, a CMake package, pkg-config files,
# the man pages (docs/) and the README.
include(CMakePackageConfigHelpers)

install(TARGETS ${ZOR_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS sort_bench sort_profile EXPORT ZorKitTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES sort_bench/sort_bench.h common/customer_parameters.h common/customer_results.h
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/zor_kit)
install(FILES README.md LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The guides the README links to, beside it as in the tree.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.md" PATTERN "man" EXCLUDE)
# The licence as Debian reads it, and the example routines to copy.
install(FILES packaging/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES examples/sorts/merge_sort.c examples/sorts/radix_sort.cpp DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
# The package's change log, compressed as Debian keeps it.
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
                   COMMAND sh -c "gzip -9n < '${PROJECT_SOURCE_DIR}/packaging/changelog' > '${PROJECT_BINARY_DIR}/changelog.gz'"
                   DEPENDS packaging/changelog VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(ZOR_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ZorKit)
install(EXPORT ZorKitTargets NAMESPACE ZorKit:: DESTINATION ${ZOR_CMAKE_DIR})
configure_package_config_file(cmake/ZorKitConfig.cmake.in ${PROJECT_BINARY_DIR}/ZorKitConfig.cmake
                              INSTALL_DESTINATION ${ZOR_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ZorKitConfigVersion.cmake COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ZorKitConfig.cmake ${PROJECT_BINARY_DIR}/ZorKitConfigVersion.cmake
              cmake/ZorKitHelpers.cmake
        DESTINATION ${ZOR_CMAKE_DIR})

# pkg-config files that find the prefix from their own place.
file(RELATIVE_PATH PC_TO_PREFIX /${CMAKE_INSTALL_LIBDIR}/pkgconfig /)
string(REGEX REPLACE "/$" "" PC_TO_PREFIX "${PC_TO_PREFIX}")
foreach(Library sort_bench sort_profile)
  configure_file(packaging/${Library}.pc.in ${PROJECT_BINARY_DIR}/${Library}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${Library}.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()

# cpack -G DEB: the package holds the install of this configuration, so
# a package for /usr comes from a build configured for /usr, where the
# libraries and .pc files go to the multiarch folders (tools/package.sh).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zor-kit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_CONTACT "ZOR kit developers <zor-kit@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZOR facility simulation kit and linked-list sort harness")
set(CPACK_PACKAGE_DESCRIPTION
    "Console programs around two exercises finished with code of one's own.\n"
    "For a discrete-event simulation of an out-patient facility: a seeded\n"
    "workload generator, listers, a reference simulator, a checker and a\n"
    "plotter of any simulator's results, and a replication and staffing study.\n"
    "For a singly linked list sort: a timing harness and a profiler, as static\n"
    "libraries to link with the sort routine, with CMake and pkg-config files.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# Shared libraries the programs link (libsodium, for zor_grade's secret
# battery) become dependencies through dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libsort_profile.a and find_package(ZorKit) need Google Benchmark to link.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libbenchmark-dev")
# simulator_checker boxes each run with bubblewrap where it is there.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pkg-config, cmake, g++, bubblewrap")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
