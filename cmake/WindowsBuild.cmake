# The Windows build: harbor-lights.scr, cross-compiled with mingw-w64
# (cmake/mingw-w64-x86_64.cmake). The portable core (renderer/, scenes/) and
# the shell's portable part are the same sources as on Linux; the platform
# is platform/win32/, the real system. The resources come from a resource
# script compiled by windres.
enable_language(RC)

# Only what every Windows has: the C and C++ runtimes go into the program.
add_link_options(-static -static-libgcc -static-libstdc++)

# libjpeg: Debian's libjpeg-turbo source package, built static for mingw once
# into a cache in this build tree.
set(HL_LIBJPEG_DIR ${CMAKE_BINARY_DIR}/libjpeg/install)
if(NOT EXISTS ${HL_LIBJPEG_DIR}/.built)
  message(STATUS "Building libjpeg for mingw-w64 (once)")
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-libjpeg-mingw.sh ${CMAKE_BINARY_DIR}
    RESULT_VARIABLE libjpeg_result)
  if(NOT libjpeg_result EQUAL 0)
    message(FATAL_ERROR "libjpeg for mingw-w64 could not be built (scripts/build-libjpeg-mingw.sh)")
  endif()
endif()
add_library(JPEG::JPEG STATIC IMPORTED)
set_target_properties(JPEG::JPEG PROPERTIES
  IMPORTED_LOCATION ${HL_LIBJPEG_DIR}/lib/libjpeg.a
  INTERFACE_INCLUDE_DIRECTORIES ${HL_LIBJPEG_DIR}/include)

# The system's OpenGL and GLU, under the names the core links on Linux.
add_library(OpenGL::GL INTERFACE IMPORTED)
set_target_properties(OpenGL::GL PROPERTIES INTERFACE_LINK_LIBRARIES opengl32)
add_library(PkgConfig::GLU INTERFACE IMPORTED)
set_target_properties(PkgConfig::GLU PROPERTIES INTERFACE_LINK_LIBRARIES glu32)

include_directories(${CMAKE_CURRENT_SOURCE_DIR})
enable_testing()

add_subdirectory(platform)
add_subdirectory(tools)
add_subdirectory(resources)
add_subdirectory(renderer)
add_subdirectory(scenes)
add_subdirectory(shell)

# The system's GL headers pull in <windows.h> unless the first two are known, and
# <windows.h> would turn the platform headers' names (WM_CLOSE, RT_RCDATA,
# ...) into its macros. The core includes no system header otherwise, so it
# gets these definitions (GLU needs CALLBACK too) and no <windows.h>. Tests that include GL headers
# beside the platform headers use the same list.
set(HL_WINDOWS_GL_DEFINITIONS "WINGDIAPI=__declspec(dllimport)" "APIENTRY=__stdcall" "CALLBACK=__stdcall")
target_compile_definitions(hl_core PRIVATE ${HL_WINDOWS_GL_DEFINITIONS})
target_compile_definitions(hl_shell PRIVATE ${HL_WINDOWS_GL_DEFINITIONS})
if(HL_BUILD_TESTS AND EXISTS ${PROJECT_SOURCE_DIR}/tests/windows/CMakeLists.txt)
  add_subdirectory(tests/windows)
endif()
