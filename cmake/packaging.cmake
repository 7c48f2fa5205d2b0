# Install rules and CPack settings: the program, its manual page, the README,
# the licence and the sample Folmar.ini. On Linux `cpack -G DEB` makes
# folmar_<version>_<arch>.deb, with the sample as the conffile
# /etc/folmar/Folmar.ini and Debian's copyright and changelog.gz; from a
# Windows cross build `cpack -G ZIP` makes folmar-<version>-win64.zip (or
# -win32) with folmar.exe, README.txt (docs/README-windows.txt, the quick
# start for Windows users), LICENSE.txt and Folmar.ini (the texts with CR LF
# line ends). The version is read from common/version.h. Test
# programs and GoogleTest install nothing.
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

# `source` compressed into `target` by gzip -9n: no name and no time stamp
# inside, so every build gives the same bytes.
function(folmar_gzip_copy source target)
  find_program(FOLMAR_GZIP gzip)
  get_filename_component(dir "${target}" DIRECTORY)
  file(MAKE_DIRECTORY "${dir}")
  execute_process(COMMAND "${FOLMAR_GZIP}" -9nc "${source}" OUTPUT_FILE "${target}" RESULT_VARIABLE failed)
  if(NOT FOLMAR_GZIP OR failed)
    message(FATAL_ERROR "gzip is needed to compress ${source}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${source}")
endfunction()

# Debian's machine-readable copyright file at `target`: the holder and the
# licence text are those of LICENSE (the MIT licence, "Expat" in Debian's
# names of licences).
function(folmar_debian_copyright target)
  file(READ "${CMAKE_SOURCE_DIR}/LICENSE" licence)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" holder "${licence}")
  set(holder "${CMAKE_MATCH_1}")
  string(FIND "${licence}" "Permission is hereby granted" start)
  string(SUBSTRING "${licence}" ${start} -1 text)
  string(STRIP "${text}" text)
  string(REPLACE "\n\n" "\n.\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  file(WRITE "${target}" "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Folmar

Files: *
Copyright: ${holder}
License: Expat
 ${text}
")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/LICENSE")
endfunction()

set(pkgdir "${CMAKE_BINARY_DIR}/package-text")
if(WIN32)
  # A flat folder: folmar.exe beside its README, its licence and the sample
  # settings file, which the README says to copy to C:\Orvan\.
  folmar_crlf_copy("${CMAKE_SOURCE_DIR}/docs/README-windows.txt" "${pkgdir}/README.txt")
  folmar_crlf_copy("${CMAKE_SOURCE_DIR}/LICENSE" "${pkgdir}/LICENSE.txt")
  folmar_crlf_copy("${CMAKE_SOURCE_DIR}/docs/Folmar.ini" "${pkgdir}/Folmar.ini")
  install(TARGETS folmar RUNTIME DESTINATION .)
  install(FILES "${pkgdir}/README.txt" "${pkgdir}/LICENSE.txt" "${pkgdir}/Folmar.ini" DESTINATION .)
else()
  folmar_gzip_copy("${CMAKE_SOURCE_DIR}/docs/folmar.1" "${pkgdir}/folmar.1.gz")
  folmar_gzip_copy("${CMAKE_SOURCE_DIR}/docs/changelog" "${pkgdir}/changelog.gz")
  folmar_debian_copyright("${pkgdir}/copyright")
  install(TARGETS folmar RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES "${pkgdir}/folmar.1.gz" DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES "${CMAKE_SOURCE_DIR}/README.md" "${CMAKE_SOURCE_DIR}/docs/Folmar.ini" "${pkgdir}/copyright"
          "${pkgdir}/changelog.gz" DESTINATION ${CMAKE_INSTALL_DOCDIR})
  # The system's settings file, the sample: /etc/folmar with the prefix / or
  # /usr (the Debian package's), else <prefix>/etc/folmar. Decided when the
  # install runs, so that `cmake --install --prefix` and CPack (which installs
  # with the prefix /usr) both get it right. A copy already there is the
  # administrator's and stays as it is.
  install(CODE "set(folmar_sample \"${CMAKE_SOURCE_DIR}/docs/Folmar.ini\")")
  install(CODE [[
    set(etc "${CMAKE_INSTALL_PREFIX}/etc")
    if(CMAKE_INSTALL_PREFIX MATCHES "^/(usr/?)?$")
      set(etc /etc)
    endif()
    if(NOT EXISTS "$ENV{DESTDIR}${etc}/folmar/Folmar.ini")
      file(INSTALL "${folmar_sample}" DESTINATION "${etc}/folmar")
    else()
      message(STATUS "Kept: $ENV{DESTDIR}${etc}/folmar/Folmar.ini")
    endif()
  ]])
  file(WRITE "${pkgdir}/conffiles" "/etc/folmar/Folmar.ini\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${pkgdir}/conffiles")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
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
