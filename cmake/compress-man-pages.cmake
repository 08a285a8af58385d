# Run at install time, once a component's files are in place: compresses every manual page under
# the manual folder with gzip (best compression, no name or time stamp, so that two builds give
# the same bytes), and turns a page that is a link into a link to the compressed page.
# Expects vorn_man_dir, the manual folder as GNUInstallDirs gives it.
if(IS_ABSOLUTE "${vorn_man_dir}")
  set(root "$ENV{DESTDIR}${vorn_man_dir}")
else()
  set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${vorn_man_dir}")
endif()

file(GLOB pages LIST_DIRECTORIES false "${root}/man*/*")
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.[0-9][a-z]*$")
    continue()
  endif()
  if(IS_SYMLINK "${page}")
    file(READ_SYMLINK "${page}" target)
    file(REMOVE "${page}")
    file(CREATE_LINK "${target}.gz" "${page}.gz" SYMBOLIC)
  else()
    execute_process(COMMAND gzip -9 -n -f "${page}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
