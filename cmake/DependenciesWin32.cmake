# The Windows build links only the MinGW runtime (statically, so no MinGW DLL has
# to ship beside the program) and Windows' own libraries. stb and googletest come
# from their Debian packages as source and are compiled by the cross compiler.
find_package(Threads REQUIRED)
add_link_options(-static -static-libgcc -static-libstdc++)
# Windows headers: no min/max macros, XP-or-later declarations (SHGetFolderPathA,
# ReplaceFileA, MoveFileExA), ANSI entry points by name.
add_compile_definitions(NOMINMAX WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0601)

# The stand-in headers that take the names portable code includes
# (engine/platform/win32/compat/): the system's DirectDraw where the software
# device's platform/swd3d/SwD3D.h is on Linux, Ogg Vorbis's vorbis/vorbisfile.h
# on stb_vorbis, and dumb.h without modules. First on every target's include
# path, so the portable sources and their users are the same on both systems.
include_directories(BEFORE ${PROJECT_SOURCE_DIR}/engine/platform/win32/compat)

# stb: never -I/usr/include, which would drag the Linux system headers in; a
# folder holding only a link to the stb headers stands in for it.
set(PABRIX_STB_ROOT ${CMAKE_BINARY_DIR}/stb-include)
file(MAKE_DIRECTORY ${PABRIX_STB_ROOT})
if(NOT EXISTS ${PABRIX_STB_ROOT}/stb)
  file(CREATE_LINK /usr/include/stb ${PABRIX_STB_ROOT}/stb SYMBOLIC)
endif()
add_library(stb_lib STATIC ${PROJECT_SOURCE_DIR}/engine/platform/win32/stb_impl.c)
target_include_directories(stb_lib SYSTEM PUBLIC ${PABRIX_STB_ROOT}/stb)
target_compile_options(stb_lib PRIVATE -w)

# googletest from /usr/src/googletest (the googletest package), same names as
# the package's CMake config gives on Linux.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(t gtest gtest_main gmock gmock_main)
  target_compile_options(${t} PRIVATE -w)
  if(NOT TARGET GTest::${t})
    add_library(GTest::${t} ALIAS ${t})
  endif()
endforeach()

# The data folder is the native build's generator output, copied as it is: the
# asset generator is a Linux tool and gives the same bytes for both programs.
set(PABRIX_NATIVE_DATA_DIR "${PROJECT_SOURCE_DIR}/build/bin/data" CACHE PATH
    "The data folder of the native build, copied beside the Windows program")
# The rest the native build makes for this one (its windows/ folder): the
# program's icon and the list of the data files the zip ships.
set(PABRIX_NATIVE_BUILD_DIR "${PROJECT_SOURCE_DIR}/build" CACHE PATH
    "The native build, whose icon and data file list the Windows program and its zip take")
set(PABRIX_WINDOWS_ICON ${PABRIX_NATIVE_BUILD_DIR}/windows/pabrix.ico)
set(PABRIX_WINDOWS_DATA_LIST ${PABRIX_NATIVE_BUILD_DIR}/windows/data-files.txt)
if(NOT EXISTS ${PABRIX_WINDOWS_DATA_LIST})
  message(FATAL_ERROR "${PABRIX_WINDOWS_DATA_LIST} is missing: build the native build first "
                      "(make windows does)")
endif()
# The program's icon and version information are a resource script.
enable_language(RC)

if(PABRIX_BENCH)
  set(PABRIX_BENCH OFF)
endif()
