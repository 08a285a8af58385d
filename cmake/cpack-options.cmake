# Read by cpack for every package it makes. Each package's description names its own summary on
# its first line, so the project's one-line description is not put in front of it.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
# Every time stamp in the packages is the one the configuration chose (cmake/packaging.cmake),
# unless SOURCE_DATE_EPOCH names another.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH} AND CPACK_VORN_SOURCE_DATE_EPOCH)
  set(ENV{SOURCE_DATE_EPOCH} ${CPACK_VORN_SOURCE_DATE_EPOCH})
endif()
