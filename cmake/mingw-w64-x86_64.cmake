# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix thread model, so
# std::thread works). Tests run under Wine through the cross-compiling emulator.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PABRIX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${PABRIX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PABRIX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${PABRIX_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${PABRIX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(PABRIX_WINE NAMES wine wine64 REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${PABRIX_WINE})
