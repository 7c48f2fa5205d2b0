# Install rules and CPack settings: the program, its manual page, the README
# and the sample Folmar.ini. On Linux `cpack -G DEB` makes
# folmar_<version>_<arch>.deb; from the Windows cross build `cpack -G ZIP`
# makes folmar-<version>-win64.zip with folmar.exe, README.txt and Folmar.ini
# (the two texts with CR LF line ends). The version is read from
# common/version.h. Test programs and GoogleTest install nothing.
include(GNUInstallDirs)

file(STRINGS "${CMAKE_SOURCE_DIR}/common/version.h" FOLMAR_VERSION_LINE
     REGEX "^#define FOLMAR_VERSION \"[^\"]+\"")
string(REGEX REPLACE "^#define FOLMAR_VERSION \"([^\"]+)\".*$" "\\1" FOLMAR_VERSION
       "${FOLMAR_VERSION_LINE}")
if(NOT FOLMAR_VERSION MATCHES "^[0-9][0-9A-Za-z.+~]*$")
  message(FATAL_ERROR "No usable FOLMAR_VERSION in common/version.h: '${FOLMAR_VERSION_LINE}'")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/common/version.h")

# `source` copied to `target` with CR LF line ends, for Windows editors.
function(folmar_crlf_copy source target)
  file(READ "${source}" text)
  string(REPLACE "\r\n" "\n" text "${text}")
  string(REPLACE "\n" "\r\n" text "${text}")
  file(WRITE "${target}" "${text}")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
endfunction()

if(WIN32)
  # A flat folder: folmar.exe beside its README and the sample settings file,
  # which it reads as Folmar.ini when started from that folder.
  set(pkgdir "${CMAKE_BINARY_DIR}/package-text")
  folmar_crlf_copy("${CMAKE_SOURCE_DIR}/README.md" "${pkgdir}/README.txt")
  folmar_crlf_copy("${CMAKE_SOURCE_DIR}/docs/Folmar.ini" "${pkgdir}/Folmar.ini")
  install(TARGETS folmar RUNTIME DESTINATION .)
  install(FILES "${pkgdir}/README.txt" "${pkgdir}/Folmar.ini" DESTINATION .)
else()
  install(TARGETS folmar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES "${CMAKE_SOURCE_DIR}/docs/folmar.1" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES "${CMAKE_SOURCE_DIR}/README.md" "${CMAKE_SOURCE_DIR}/docs/Folmar.ini"
          DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME folmar)
set(CPACK_PACKAGE_VERSION "${FOLMAR_VERSION}")
set(CPACK_PACKAGE_VENDOR "Orvan Software")
set(CPACK_PACKAGE_CONTACT "Orvan Software <sales@orvan.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "directory summary report generator")
set(CPACK_PACKAGE_DESCRIPTION [[
Folmar lists each directory of a tree, or of every selected drive, with
the total byte size of the files directly inside it, and closes with
totals per drive: on the console, or as a paginated report file for a
fixed-pitch printer. Paths take the Windows form, drive letters mapped
to directories.]])
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_SYSTEM_NAME win64)
  else()
    set(CPACK_SYSTEM_NAME win32)
  endif()
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_SYSTEM_NAME}")
else()
  set(CPACK_GENERATOR DEB)
endif()

include(CPack)
