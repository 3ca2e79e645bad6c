# Installing the Linux tools with their manual pages, and the Debian package of them (CPack):
# the host's driversetup-catalog and driversetup-check in bin/, their pages in man1/, and,
# when DRIVERSETUP_WINDOWS_PROGRAMS names the folder that holds them, the Windows programs in
# share/driversetup/windows/.
include(GNUInstallDirs)

# scdoc: a small markup made for manual pages, packaged by Debian, with no dependencies.
find_program(SCDOC_EXECUTABLE scdoc REQUIRED)
find_program(GZIP_EXECUTABLE gzip REQUIRED)
find_program(SH_EXECUTABLE sh REQUIRED)
set(man_pages)
foreach(page driversetup-catalog driversetup-check)
    set(source ${CMAKE_SOURCE_DIR}/docs/man/${page}.1.scd)
    set(page_file ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    # A fixed date in the footer, and gzip without a name or time, so the pages are the same
    # bytes in every build.
    add_custom_command(OUTPUT ${page_file}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${DRIVERSETUP_SAMPLE_EPOCH}
            ${SH_EXECUTABLE} -c "'${SCDOC_EXECUTABLE}' < '${source}' | '${GZIP_EXECUTABLE}' -9n > '${page_file}'"
        DEPENDS ${source}
        COMMENT "Making the manual page ${page}(1)"
        VERBATIM)
    list(APPEND man_pages ${page_file})
endforeach()
add_custom_target(man_pages ALL DEPENDS ${man_pages})

install(TARGETS driversetup-catalog driversetup-check RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# Debian's copyright file, in its machine-readable format, from LICENSE: the text indented by
# one blank, each empty line a lone " .".
file(READ ${CMAKE_SOURCE_DIR}/LICENSE license_text)
string(REGEX REPLACE "\n$" "" license_text "${license_text}")
string(REGEX REPLACE "\n\n" "\n.\n" license_text "${license_text}")
string(REPLACE "\n" "\n " license_text "${license_text}")
file(WRITE ${CMAKE_BINARY_DIR}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: driversetup\n\nFiles: *\nCopyright: 2026 The DriverSetup developers\n"
    "License: Expat\n ${license_text}\n")
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/driversetup)
# A native package's changelog, in Debian's format, dated as the sample so that it is the
# same bytes in every build; what changed is in CHANGELOG.md.
file(WRITE ${CMAKE_BINARY_DIR}/changelog
    "driversetup (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Release ${PROJECT_VERSION}; CHANGELOG.md in the source says what changed.\n\n"
    " -- DriverSetup developers <driversetup@example.org>  Thu, 01 Jan 2026 00:00:00 +0000\n")
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
    COMMAND ${GZIP_EXECUTABLE} -9nkf ${CMAKE_BINARY_DIR}/changelog
    DEPENDS ${CMAKE_BINARY_DIR}/changelog
    VERBATIM)
add_custom_target(debian_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/driversetup)
set(DRIVERSETUP_WINDOWS_PROGRAMS "" CACHE PATH
    "Folder with DriverSetup.exe, driversetup-check.exe and both pre-installers to package")
if(DRIVERSETUP_WINDOWS_PROGRAMS)
    install(FILES
        ${DRIVERSETUP_WINDOWS_PROGRAMS}/DriverSetup.exe
        ${DRIVERSETUP_WINDOWS_PROGRAMS}/driversetup-check.exe
        ${DRIVERSETUP_WINDOWS_PROGRAMS}/QZDrvPrep_x86.exe
        ${DRIVERSETUP_WINDOWS_PROGRAMS}/QZDrvPrep_x64.exe
        DESTINATION ${CMAKE_INSTALL_DATADIR}/driversetup/windows)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME driversetup)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "DriverSetup developers")
set(CPACK_PACKAGE_CONTACT "DriverSetup developers <driversetup@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "make and check Windows driver catalogs and folders")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "driversetup-catalog makes, verifies and lists Windows driver catalogs as\n"
    "Windows' own tools do. driversetup-check checks a driver distribution folder\n"
    "the way its launcher will use it. The Windows launcher, checker and\n"
    "pre-installers come along for the distribution folder.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The dependencies follow from the binaries (dpkg-shlibdeps), not from a list kept by hand.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
