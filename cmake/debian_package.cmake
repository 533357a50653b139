# The installation below a prefix (cmake --install build --prefix DIR) and
# the one Debian package of the same files under /usr (cpack -G DEB in the
# build directory): the program, its manual page, the guide, the README, the
# copyright file and the changelog. The package is checked by lintian in
# tests/install/run_install_tests.sh.
#
# The compressed and generated files are made by the ordinary build, because
# installing and packaging take what is built and never start a build of
# everything (cpack did, from inside the suite's package test, while the
# suite was running).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

set(QM_MAINTAINER "qm19-20 team <qm19-20@example.org>")
set(QM_PACKAGE_FILES ${CMAKE_BINARY_DIR}/package)
file(MAKE_DIRECTORY ${QM_PACKAGE_FILES})
# gzip -9n: the best compression and no time stamp or name in the header,
# as Debian wants its manual pages and changelogs.
add_custom_command(OUTPUT ${QM_PACKAGE_FILES}/qm19-20.1.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/docs/qm19-20.1 > ${QM_PACKAGE_FILES}/qm19-20.1.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/docs/qm19-20.1
  COMMENT "Manual page, compressed")
add_custom_command(OUTPUT ${QM_PACKAGE_FILES}/changelog.gz
  COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/cmake/debian/changelog > ${QM_PACKAGE_FILES}/changelog.gz
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog
  COMMENT "Changelog, compressed")
add_custom_command(OUTPUT ${QM_PACKAGE_FILES}/copyright
  COMMAND ${CMAKE_COMMAND} -DLICENSE=${CMAKE_SOURCE_DIR}/LICENSE "-DCONTACT=${QM_MAINTAINER}"
          -DOUTPUT=${QM_PACKAGE_FILES}/copyright -P ${CMAKE_SOURCE_DIR}/cmake/debian_copyright.cmake
  DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE ${CMAKE_SOURCE_DIR}/cmake/debian_copyright.cmake
  COMMENT "Copyright file from LICENSE" VERBATIM)
add_custom_target(qm_package_files ALL DEPENDS
  ${QM_PACKAGE_FILES}/qm19-20.1.gz ${QM_PACKAGE_FILES}/changelog.gz ${QM_PACKAGE_FILES}/copyright)

# The changelog's newest entry must be of the version built: the package's
# version and its changelog would otherwise disagree.
file(STRINGS ${CMAKE_SOURCE_DIR}/cmake/debian/changelog QM_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT QM_CHANGELOG_TOP MATCHES "^qm19-20 \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "cmake/debian/changelog: the newest entry is not of version ${PROJECT_VERSION}")
endif()

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(TARGETS qm19-20 RUNTIME DESTINATION bin)
install(FILES ${QM_PACKAGE_FILES}/qm19-20.1.gz DESTINATION share/man/man1)
install(FILES README.md docs/PODRECZNIK.md ${QM_PACKAGE_FILES}/copyright ${QM_PACKAGE_FILES}/changelog.gz
        DESTINATION share/doc/qm19-20)

set(CPACK_PACKAGE_NAME qm19-20)
set(CPACK_PACKAGE_VENDOR "qm19-20 team")
set(CPACK_PACKAGE_CONTACT "${QM_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "carries an accounting package's data from its 2019 installation to its 2020 one")
set(CPACK_PACKAGE_DESCRIPTION "An interactive 80x25 text-mode wizard that carries the ledger journals,
annual settings, staff, contracts, tax forms and address bases of many
companies at once, with a run journal, backups, repair after an
interruption and undo of the last run. Its texts are in Polish.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QM_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Permissions as the files have them in the build, not as the umask of
# whoever packs: 0755 for directories and the program, 0644 for the rest.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
find_program(QM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(QM_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()
include(CPack)
