# Cross-building kestrix-convert.exe for 64-bit Windows on Debian with
# mingw-w64 (g++-mingw-w64-x86-64-posix: the posix thread model, which
# std::thread needs). The tests run under Wine.
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KESTRIX_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KESTRIX_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRIX_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRIX_MINGW_PREFIX}-windres)

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KESTRIX_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that runs on any Windows: the C++ runtime, libgcc and
# winpthread linked in, no DLL beyond the system's own.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# The cross-built programs, the tests among them, run under Wine.
find_program(KESTRIX_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(KESTRIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRIX_WINE})
endif()
