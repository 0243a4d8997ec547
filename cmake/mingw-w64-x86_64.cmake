# Cross-builds for 64-bit Windows with mingw-w64 (the posix-threads compiler, which has
# std::thread and std::mutex), linked statically so the programs need no mingw DLLs.
# Programs built for the target, tests included, run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QL_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QL_MINGW_PREFIX}-windres)
set(CMAKE_AR ${QL_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${QL_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${QL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

find_program(QL_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QL_WINE})
