# Writes the header with the build date (cmake -DOUTPUT=<header> -P ...).
# A header that already holds today's date is left alone, so that a build on
# the same day compiles nothing again.
string(TIMESTAMP date "%Y%m%d")
set(content "#pragma once\n// Written by the build: the day the program was built, as yyyymmdd.\n#define NW_BUILD_DATE ${date}\n")
set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
