# The version resource of the Windows program (platform/win32/folmar.rc),
# compiled by the resource compiler of the toolchain (MinGW-w64's windres,
# or MSVC's rc) into folmar.exe itself: a resource in a static library would
# never be linked. Its numeric version comes from FOLMAR_VERSION
# (packaging.cmake): "5.1b" is 5,1,2,0, the letter counted from a = 1.
enable_language(RC)
string(REGEX MATCH "^([0-9]+)\\.([0-9]+)([a-z]?)" version_parts "${FOLMAR_VERSION}")
if(NOT version_parts)
  message(FATAL_ERROR "FOLMAR_VERSION '${FOLMAR_VERSION}' is not MAJOR.MINOR[letter]")
endif()
set(version_letter 0)
if(CMAKE_MATCH_3)
  string(FIND "abcdefghijklmnopqrstuvwxyz" "${CMAKE_MATCH_3}" version_letter)
  math(EXPR version_letter "${version_letter} + 1")
endif()
set(rc_file ${CMAKE_SOURCE_DIR}/platform/win32/folmar.rc)
target_sources(folmar PRIVATE ${rc_file})
set_source_files_properties(${rc_file} PROPERTIES
  COMPILE_DEFINITIONS "FOLMAR_VERSION_NUMBERS=${CMAKE_MATCH_1},${CMAKE_MATCH_2},${version_letter},0"
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/common/version.h)
