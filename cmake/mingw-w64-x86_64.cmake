# Cross-compiles the program for 64-bit Windows with the MinGW-w64 compilers
# of Debian's mingw-w64 package. The posix thread model is the one whose
# libstdc++ has std::thread and std::mutex. Everything is linked statically,
# so that the one executable runs on a Windows machine with nothing installed.

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(mingw_target x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${mingw_target}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_target}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_target}-windres)

# Libraries, headers and packages come from the cross compiler's own tree
# only: the build machine's would be for another system.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_target})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Where Wine is installed, CTest runs the Windows programs through it.
find_program(SCENARIO_WINE NAMES wine wine64)
if(SCENARIO_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SCENARIO_WINE})
endif()
