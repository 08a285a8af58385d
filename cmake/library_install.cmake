# What `cmake --install` puts in place for programs outside the tree that use the library: the
# shared library (component runtime), and the header, the static library, the link for the
# linker, a pkg-config file and a CMake package configuration (component development), so that
# both `pkg-config --cflags --libs vorn` and `find_package(vorn CONFIG)` work.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

if(TARGET vorn_engine_shared)
  install(TARGETS vorn_engine_shared EXPORT vornTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development)
endif()
install(TARGETS vorn_engine EXPORT vornTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development)
install(FILES ${PROJECT_SOURCE_DIR}/engine/vorn.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)

set(vorn_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/vorn)
install(EXPORT vornTargets NAMESPACE vorn:: DESTINATION ${vorn_cmake_dir} COMPONENT development)
configure_file(${PROJECT_SOURCE_DIR}/cmake/vornConfig.cmake.in
  ${PROJECT_BINARY_DIR}/vornConfig.cmake @ONLY)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/vornConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/vornConfig.cmake ${PROJECT_BINARY_DIR}/vornConfigVersion.cmake
  DESTINATION ${vorn_cmake_dir} COMPONENT development)

# The .pc file finds its prefix from where it lies, so that `cmake --install --prefix DIR`
# needs no reconfiguring.
file(RELATIVE_PATH vorn_pc_to_prefix /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
if(VORN_THREADS)
  set(vorn_pc_private "-lstdc++ -lpthread")
else()
  set(vorn_pc_private "-lstdc++")
endif()
configure_file(${PROJECT_SOURCE_DIR}/cmake/vorn.pc.in ${PROJECT_BINARY_DIR}/vorn.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/vorn.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
