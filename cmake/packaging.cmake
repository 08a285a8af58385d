# What `cmake --install` puts in place, and the Debian package `cpack -G DEB` makes of it: the
# three programs and their manual pages, nothing else (no tests, no benchmarks).
include(GNUInstallDirs)

install(TARGETS vornhold2 vornhold vornlens RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# One page describes both coder builds; it is installed under each program's name so that
# `man vornhold` finds it as well as `man vornhold2`.
set(coder_page ${CMAKE_CURRENT_SOURCE_DIR}/man/vornhold2.1)
install(FILES ${coder_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${coder_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 RENAME vornhold.1)
install(FILES man/vornlens.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(VORN_PACKAGE_MAINTAINER "Vornhold developers <vornhold@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vornhold)
set(CPACK_PACKAGE_VENDOR "Vornhold developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Three console programs for uncompressed 24-bit BMP pictures: vornhold2 and vornhold hide
up to two pictures in the low bits of a carrier picture and take them out again; vornlens
shows whatever lies in the low four bits of a picture's colour bytes.")
set(CPACK_PACKAGE_CONTACT "${VORN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The C and C++ runtime versions the programs were linked against, worked out by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
