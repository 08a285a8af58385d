# Points a Windows (MinGW-w64) or web (Emscripten) build at the static libraries that
# scripts/third-party.sh built for it, so that the same lookups as the native build find them:
# pkg_check_modules(SPNG spng), find_package(JPEG), find_package(ZLIB),
# pkg_check_modules(SODIUM libsodium), pkg_check_modules(UTF8PROC libutf8proc),
# pkg_check_modules(WEBP libwebp), and find_package(libjpeg-turbo CONFIG).
# Include it after project() and before those lookups, in CMakeLists.txt
#   include(cmake/third-party.cmake)
# or from the configure step: -DCMAKE_PROJECT_INCLUDE=<source>/cmake/third-party.cmake
# It does nothing in a native build. VORN_THIRD_PARTY_PREFIX names another installation.
if(NOT CMAKE_CROSSCOMPILING)
  return()
endif()
if(EMSCRIPTEN)
  set(vorn_third_party_target wasm)
elseif(WIN32)
  set(vorn_third_party_target mingw)
else()
  return()
endif()

get_filename_component(vorn_third_party_default
  "${CMAKE_CURRENT_LIST_DIR}/../build/third-party/${vorn_third_party_target}" ABSOLUTE)
set(VORN_THIRD_PARTY_PREFIX "${vorn_third_party_default}" CACHE PATH
  "Where scripts/third-party.sh installed the libraries for this target")
if(NOT EXISTS "${VORN_THIRD_PARTY_PREFIX}/lib/pkgconfig")
  message(FATAL_ERROR "No libraries in ${VORN_THIRD_PARTY_PREFIX}: "
    "run bash scripts/third-party.sh ${vorn_third_party_target} first")
endif()

# The toolchain files let find_path, find_library and find_package look only inside their root
# folders (the cross compiler's or Emscripten's system root); this installation becomes one
# more of them. Its own folder is searched as a prefix too, for the CMake package files.
list(APPEND CMAKE_FIND_ROOT_PATH "${VORN_THIRD_PARTY_PREFIX}")
list(APPEND CMAKE_PREFIX_PATH "${VORN_THIRD_PARTY_PREFIX}")
# pkg-config reads only this installation's files: the build machine's own (for the host's
# libraries) must never be taken for the target's.
set(ENV{PKG_CONFIG_LIBDIR} "${VORN_THIRD_PARTY_PREFIX}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")
