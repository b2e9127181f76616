# What a release installs and how it is packed. Two builds of one commit give
# the same bytes, in any folder and at any time: no builder's path or link
# time goes into a binary (see the compile options), released binaries are
# stripped, and every time stamp in a package is SOURCE_DATE_EPOCH, by
# default the last commit's.
include(GNUInstallDirs)
# Installing and packing take what is built; they build nothing again (the
# Windows trees would be built and packed anew).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(QSCAN_MAINTAINER "the qscan developers <qscan@users.noreply.github.com>" CACHE STRING
    "Maintainer of the Debian package")
option(QSCAN_INSTALL_TOOLS "Install the development tools (discgen) too" OFF)

if(WIN32)
  # A zip to unpack: the programs, the licence and the README with Windows
  # line ends.
  configure_file(README.md ${CMAKE_BINARY_DIR}/README.txt NEWLINE_STYLE CRLF)
  install(TARGETS qscan RUNTIME DESTINATION .)
  if(QSCAN_REPORT)
    install(TARGETS qscan-report RUNTIME DESTINATION .)
  endif()
  install(FILES LICENSE ${CMAKE_BINARY_DIR}/README.txt DESTINATION .)
  if(QSCAN_REPORT)
    install(FILES doc/qscan-report.schema.json DESTINATION .)
  endif()
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(QSCAN_ZIP_NAME qscan-${PROJECT_VERSION}-win32)
  else()
    set(QSCAN_ZIP_NAME qscan-${PROJECT_VERSION}-win64)
  endif()
  set(zip_targets qscan)
  if(QSCAN_REPORT)
    list(APPEND zip_targets qscan-report)
  endif()
  add_custom_target(zip
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DSOURCE_DIR=${CMAKE_SOURCE_DIR}
            -DNAME=${QSCAN_ZIP_NAME} -DRELEASE_EPOCH=${QSCAN_RELEASE_EPOCH} -P ${CMAKE_SOURCE_DIR}/cmake/windows-zip.cmake
    COMMENT "Packing ${QSCAN_ZIP_NAME}.zip"
    VERBATIM)
  add_dependencies(zip ${zip_targets})
  return()
endif()
if(QSCAN_FUZZ)
  return()
endif()

# The programs, their manual pages gzipped as Debian has them, the README,
# and the licence as a machine-readable copyright file with a changelog.
install(TARGETS qscan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(QSCAN_MAN_PAGES ${CMAKE_BINARY_DIR}/qscan.1)
configure_file(doc/qscan.1.in ${CMAKE_BINARY_DIR}/qscan.1 @ONLY)
if(QSCAN_REPORT)
  install(TARGETS qscan-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  configure_file(doc/qscan-report.1.in ${CMAKE_BINARY_DIR}/qscan-report.1 @ONLY)
  list(APPEND QSCAN_MAN_PAGES ${CMAKE_BINARY_DIR}/qscan-report.1)
endif()
if(QSCAN_INSTALL_TOOLS)
  install(TARGETS discgen RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

file(READ LICENSE licence)
string(REGEX REPLACE "^.*\n(Permission is hereby granted)" "\\1" licence "${licence}")
string(REGEX REPLACE "\n+$" "" licence "${licence}")
string(REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " QSCAN_LICENSE_PARAGRAPH " ${licence}")
configure_file(doc/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
configure_file(doc/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)

# gzip -9n: no name and no time in the header.
set(gzipped)
foreach(file ${QSCAN_MAN_PAGES} ${CMAKE_BINARY_DIR}/changelog)
  add_custom_command(OUTPUT ${file}.gz
                     COMMAND gzip -9nc ${file} > ${file}.gz
                     DEPENDS ${file}
                     COMMENT "Compressing ${file}")
  list(APPEND gzipped ${file}.gz)
endforeach()
add_custom_target(compressed_docs ALL DEPENDS ${gzipped})
list(TRANSFORM QSCAN_MAN_PAGES APPEND .gz OUTPUT_VARIABLE man_pages_gz)
install(FILES ${man_pages_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# A user's README, not the developers'.
install(FILES doc/README.user.md DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME README.md)
install(FILES ${CMAKE_BINARY_DIR}/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(QSCAN_REPORT)
  # The JSON report's schema, where the report's manual page points.
  install(FILES doc/qscan-report.schema.json DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

# The Debian package, its dependencies worked out from the binaries.
set(CPACK_PACKAGE_NAME qscan)
set(CPACK_PACKAGE_VENDOR "the qscan developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_QSCAN_SOURCE_DIR ${CMAKE_SOURCE_DIR})
set(CPACK_QSCAN_RELEASE_EPOCH ${QSCAN_RELEASE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_SOURCE_DIR}/cmake/cpack-epoch.cmake)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QSCAN_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The synopsis is the summary above; this is the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "qscan reads an audio CD one sector at a time (READ CD, raw P-W sub-channel
only), checks and decodes each Q frame and prints every ISRC with the disc
position where it was read, and on request the catalog number, positions,
decoded frames, raw Q bytes and damaged frames. qscan-report reads that
output and tells which ISRC each track carries, and whether the codes and
the drive can be trusted, as a table, a CUE sheet or JSON.")
include(CPack)

# cmake --build --target release: the Windows zip, the Debian package and
# SHA256SUMS in one folder, build/release.
if(QSCAN_WINDOWS_ZIP AND QSCAN_REPORT)
  set(QSCAN_RELEASE_DIR ${CMAKE_BINARY_DIR}/release)
  add_custom_target(release
    COMMAND ${CMAKE_CPACK_COMMAND} -G DEB --config ${CMAKE_BINARY_DIR}/CPackConfig.cmake
            -B ${CMAKE_BINARY_DIR}/deb
    COMMAND ${CMAKE_COMMAND} -DRELEASE_DIR=${QSCAN_RELEASE_DIR} -DZIP=${QSCAN_WINDOWS_ZIP}
            -DDEB_DIR=${CMAKE_BINARY_DIR}/deb -P ${CMAKE_SOURCE_DIR}/cmake/release-folder.cmake
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
    COMMENT "Making the release in ${QSCAN_RELEASE_DIR}"
    VERBATIM)
  add_dependencies(release qscan qscan-report compressed_docs windows_i686)
endif()
