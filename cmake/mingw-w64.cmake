# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (package g++-mingw-w64-x86-64):
#
#     cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
#
# The POSIX-threads flavour of the compiler is used (std::thread and std::mutex need it).
# Programs are linked statically, so that no MinGW DLL has to travel with them; Wine runs them
# (CMAKE_CROSSCOMPILING_EMULATOR) where a build step has to.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MG_MINGW_PREFIX x86_64-w64-mingw32)

find_program(CMAKE_C_COMPILER NAMES ${MG_MINGW_PREFIX}-gcc-posix ${MG_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${MG_MINGW_PREFIX}-g++-posix ${MG_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${MG_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${MG_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
find_program(MG_WINE NAMES wine64 wine)
if(MG_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${MG_WINE})
endif()
