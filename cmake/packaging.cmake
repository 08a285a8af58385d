# What `cmake --install` puts in place, and the Debian packages `cpack -G DEB` makes of it.
#
# Every install() rule names one of four components, and each of the first three becomes one
# package:
#   programs     the console programs, their manual pages and completions  -> vornhold
#   runtime      the shared library                                         -> libvorn3
#   development  header, static library, .so link, pkg-config, CMake files  -> libvorn-dev
#   python       the Python module, which scripts/python.sh installs       -> none
# Only the components that some rule uses become packages, so a build without the library makes
# the programs' package alone. This file is included last, when every rule has been declared.
include(GNUInstallDirs)

set(VORN_PACKAGE_MAINTAINER "Ilse Marrow <ilse.marrow@vornhold.org>"
    CACHE STRING "Maintainer named in the Debian packages")

# The changelog names the release; it has to be the version the project declares.
set(vorn_changelog ${CMAKE_CURRENT_SOURCE_DIR}/packaging/changelog)
file(STRINGS ${vorn_changelog} vorn_changelog_top LIMIT_COUNT 1)
if(NOT vorn_changelog_top MATCHES "^vornhold \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "packaging/changelog begins with '${vorn_changelog_top}', "
                      "but the project's version is ${PROJECT_VERSION}: add an entry for it")
endif()

# Every time stamp in the packages is the date of the commit being packaged (outside a git
# checkout, the date of the latest changelog entry), so that two builds can be compared;
# cmake/cpack-options.cmake hands it to cpack unless SOURCE_DATE_EPOCH is set already.
execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}
                OUTPUT_VARIABLE vorn_source_date OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                RESULT_VARIABLE vorn_git_result)
if(NOT vorn_git_result EQUAL 0 OR NOT vorn_source_date MATCHES "^[0-9]+$")
  file(STRINGS ${vorn_changelog} vorn_changelog_trailer REGEX "^ -- " LIMIT_COUNT 1)
  string(REGEX REPLACE ".*  " "" vorn_changelog_date "${vorn_changelog_trailer}")
  execute_process(COMMAND date -d "${vorn_changelog_date}" +%s
                  OUTPUT_VARIABLE vorn_source_date OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
set(CPACK_VORN_SOURCE_DATE_EPOCH ${vorn_source_date})

# --- the programs ---------------------------------------------------------------------------

install(TARGETS vornhold2 vornhold vornlens
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT programs)

# The pages carry the project's version. One page describes both coder builds; vornhold.1 is a
# link to it, so that `man vornhold` finds it too.
set(vorn_man_build ${CMAKE_CURRENT_BINARY_DIR}/man)
foreach(page vornhold2.1 vornlens.1)
  configure_file(man/${page}.in ${vorn_man_build}/${page} @ONLY)
endforeach()
file(CREATE_LINK vornhold2.1 ${vorn_man_build}/vornhold.1 SYMBOLIC)
install(FILES ${vorn_man_build}/vornhold2.1 ${vorn_man_build}/vornhold.1
              ${vorn_man_build}/vornlens.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)

# --- the packages ---------------------------------------------------------------------------

get_cmake_property(vorn_components COMPONENTS)
set(vorn_packaged_components)
foreach(component programs runtime development)
  if(component IN_LIST vorn_components)
    list(APPEND vorn_packaged_components ${component})
  endif()
endforeach()
# The Python module (component python) is installed into Python's own folder by
# scripts/python.sh, and goes into no package.
foreach(component IN LISTS vorn_components)
  if(NOT component IN_LIST vorn_packaged_components AND NOT component STREQUAL "python")
    message(WARNING "Install component '${component}' goes into no package: "
                    "give its install() rules COMPONENT programs, runtime or development")
  endif()
endforeach()

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME vornhold)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libvorn3)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libvorn-dev)

# Each package carries the copyright file and the changelog in its own documentation folder,
# both naming the maintainer set above, and has its manual pages compressed once everything else
# of it is installed.
set(vorn_packaging_build ${CMAKE_CURRENT_BINARY_DIR}/packaging)
configure_file(packaging/copyright ${vorn_packaging_build}/copyright @ONLY)
configure_file(packaging/changelog ${vorn_packaging_build}/changelog @ONLY)
execute_process(COMMAND gzip -9 -n -c INPUT_FILE ${vorn_packaging_build}/changelog
                OUTPUT_FILE ${vorn_packaging_build}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
foreach(component IN LISTS vorn_packaged_components)
  string(TOUPPER ${component} upper)
  install(FILES ${vorn_packaging_build}/copyright ${vorn_packaging_build}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${CPACK_DEBIAN_${upper}_PACKAGE_NAME}
          COMPONENT ${component})
  install(CODE "set(vorn_man_dir \"${CMAKE_INSTALL_MANDIR}\")
include(\"${CMAKE_CURRENT_SOURCE_DIR}/cmake/compress-man-pages.cmake\")"
          COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${vorn_packaged_components})
set(CPACK_PACKAGE_NAME vornhold)
set(CPACK_PACKAGE_VENDOR "Vornhold developers")
set(CPACK_PACKAGE_CONTACT "${VORN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${VORN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_SOURCE_DIR}/cmake/cpack-options.cmake)
set(CPACK_STRIP_FILES ON)
# The runtime versions the binaries were linked against, worked out by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "hide pictures in the low bits of a BMP picture
The console programs vornhold2 and vornhold, two builds of one coder, hide
up to two pictures in the low bits of a carrier picture, an uncompressed
24-bit BMP file, with error-diffusion dithering, and take them out again.
The reveal filter vornlens shows whatever lies in the low four bits of a
picture's colour bytes.")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# A shlibs file for every package that holds a shared library, so that programs linked against
# it depend on the package.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The library is registered through dpkg's ldconfig trigger, not by maintainer scripts.
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_SOURCE_DIR}/packaging/libvorn3/triggers)
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_SOURCE_DIR}/cmake/deb-without-ldconfig-scripts.cmake)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "library that hides pictures in the low bits of a BMP picture
libvorn checks uncompressed 24-bit BMP pictures, hides up to two pictures in
the low bits of a carrier with error-diffusion dithering and a bit-reversal
pixel scramble, takes them out again, and reveals the low bits. It works on
pictures held in memory and neither prints nor touches files.
.
This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libvorn3 (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "development files for libvorn, which hides pictures in pictures
libvorn checks uncompressed 24-bit BMP pictures, hides up to two pictures in
the low bits of a carrier with error-diffusion dithering and a bit-reversal
pixel scramble, takes them out again, and reveals the low bits.
.
This package holds the header, the static library, and the files that let
pkg-config and CMake find the library.")

include(CPack)
