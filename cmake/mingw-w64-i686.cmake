# CMake toolchain file: cross-compile Folmar for 32-bit Windows (32-bit
# Windows 10 and earlier, NT 4, and the Windows 9x family) with MinGW-w64
# (Debian 12: apt-get install g++-mingw-w64-i686-win32), and run the Windows
# tests under 32-bit wine (wine32:i386) through tests/wine/wine-run.sh.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MINGW_TRIPLE i686-w64-mingw32)
# Prefer the win32 thread flavour by its own name (no libwinpthread to ship);
# the plain names are Debian alternatives that may point at either flavour.
if(EXISTS /usr/bin/${MINGW_TRIPLE}-g++-win32)
  set(CMAKE_C_COMPILER   ${MINGW_TRIPLE}-gcc-win32)
  set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-win32)
else()
  set(CMAKE_C_COMPILER   ${MINGW_TRIPLE}-gcc)
  set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++)
endif()
set(CMAKE_RC_COMPILER  ${MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc and libstdc++ linked in: the .exe imports only KERNEL32.dll and
# msvcrt.dll (the C runtime's one wide import is replaced in win_system.cpp).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# add_test(NAME t COMMAND <exe target> ...) runs the .exe through wine, which
# starts a 32-bit program on 32-bit wine; ctest needs WINEPREFIX in its
# environment (tests/wine/run-wine-tests.sh sets it).
get_filename_component(FOLMAR_WINE_RUN "${CMAKE_CURRENT_LIST_DIR}/../tests/wine/wine-run.sh" ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "/bin/sh;${FOLMAR_WINE_RUN}")
