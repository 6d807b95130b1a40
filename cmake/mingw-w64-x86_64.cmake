# Cross-compiling for 64-bit Windows with Debian's mingw-w64 tools.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(HL_MINGW_TRIPLET x86_64-w64-mingw32)
# The POSIX thread model: its C++ library has std::mutex and std::thread
# (GoogleTest needs them); -static links its thread library into the program.
set(CMAKE_C_COMPILER ${HL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${HL_MINGW_TRIPLET}-windres)

# Headers and libraries of the target only; programs of the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${HL_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs built for Windows run through Wine.
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(HL_WINE64 NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(HL_WINE64)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${HL_WINE64})
  endif()
endif()
