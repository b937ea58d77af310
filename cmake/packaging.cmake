# Installing and packaging, with CMake's own tools.
#   Windows: cpack makes colortext-VERSION-win32.zip (colortext.exe,
#            README.md, LICENSE).
#   Native:  cmake --install puts bin/colortext, share/man/man1/colortext.1
#            and share/doc/colortext/{README.md,LICENSE}; cpack makes a
#            .tar.gz of that and, on Linux, a .deb (cmake/debian-files.cmake
#            adds what Debian keeps beside it).
include(GNUInstallDirs)

set(COLORTEXT_MAINTAINER "colortext maintainers <colortext@example.org>"
    CACHE STRING "The packages' maintainer: a name and an address in <>")

# The manual page carries the project's version.
configure_file(${CMAKE_SOURCE_DIR}/docs/colortext.1.in ${CMAKE_BINARY_DIR}/colortext.1 @ONLY)

set(CPACK_PACKAGE_NAME colortext)
set(CPACK_PACKAGE_VENDOR "${COLORTEXT_VENDOR}")
set(CPACK_PACKAGE_CONTACT "${COLORTEXT_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${COLORTEXT_SUMMARY}")
set(CPACK_PACKAGE_DESCRIPTION
    "colortext prints text in colour from a short language of tokens on its
command line: quoted strings, decimal character codes with a repeat form,
and colour switches such as /1F for bright white on blue. Each run of text
is sent with its colours and a reset after it, so the terminal is never left
coloured; into a file or a pipe the same bytes go plain. The same program
is a small Windows console tool for batch scripts.")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${CMAKE_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)

if(CMAKE_SYSTEM_NAME STREQUAL "Windows")
    install(TARGETS colortext RUNTIME DESTINATION .)
    install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_FILE_NAME colortext-${PROJECT_VERSION}-win32)
    set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
else()
    install(TARGETS colortext RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${CMAKE_BINARY_DIR}/colortext.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/LICENSE
            DESTINATION ${CMAKE_INSTALL_DOCDIR})
    set(CPACK_GENERATOR TGZ)
    # Packaged stripped. (The exe is linked stripped, and goes into its zip
    # byte for byte.)
    set(CPACK_STRIP_FILES ON)
    if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
        list(APPEND CPACK_GENERATOR DEB)
    endif()
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION utils)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # Worked out from the binary by dpkg-shlibdeps (package dpkg-dev).
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/debian-files.cmake)
    # For that script, which runs inside cpack.
    set(CPACK_COLORTEXT_SOURCE_DIR ${CMAKE_SOURCE_DIR})
    set(CPACK_COLORTEXT_DOCDIR ${CMAKE_INSTALL_DOCDIR})
    set(CPACK_COLORTEXT_MANDIR ${CMAKE_INSTALL_MANDIR})
endif()

include(CPack)
