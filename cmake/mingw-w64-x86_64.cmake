# Cross-compiling for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64-posix):
#   cmake -S . -B build/windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# The posix flavour of the compiler is the one with std::thread. Programs link statically,
# so each .exe needs no DLL beside it. When wine64 is installed, tests run under it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(LUMERA_MINGW x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER ${LUMERA_MINGW}-g++-posix)
find_program(CMAKE_C_COMPILER ${LUMERA_MINGW}-gcc-posix)  # GoogleTest's sources ask for C too
if(NOT CMAKE_CXX_COMPILER)
  message(FATAL_ERROR "${LUMERA_MINGW}-g++-posix not found: install g++-mingw-w64-x86-64-posix")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${LUMERA_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(LUMERA_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(LUMERA_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${LUMERA_WINE64})
endif()
