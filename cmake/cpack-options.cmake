# Read by cpack for every package it makes. Each package's description names its own summary on
# its first line, so the project's one-line description is not put in front of it.
unset(CPACK_PACKAGE_DESCRIPTION_SUMMARY)
