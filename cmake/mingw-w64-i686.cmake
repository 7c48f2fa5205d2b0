# CMake toolchain file: cross-compile Folmar for 32-bit Windows with MinGW-w64
# (Debian 12: apt-get install g++-mingw-w64-i686-win32). Build only: a 32-bit
# .exe needs wine32 (i386 multiarch) to run; under a wine64-only install it
# exits 0 without running, so no emulator is set and no tests are registered.
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-i686.cmake -DFOLMAR_TESTS=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(MINGW_TRIPLE i686-w64-mingw32)
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

# libgcc and libstdc++ linked in: the .exe imports only KERNEL32.dll and msvcrt.dll.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
