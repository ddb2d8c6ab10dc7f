# Every external library comes from Debian packages (scripts/setup.sh installs them).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(GTest REQUIRED)
pkg_check_modules(SDL2 REQUIRED IMPORTED_TARGET sdl2)
pkg_check_modules(GLDEPS REQUIRED IMPORTED_TARGET gl)
pkg_check_modules(VORBIS REQUIRED IMPORTED_TARGET vorbisfile vorbisenc vorbis ogg)
pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0 gtk+-unix-print-3.0)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
pkg_check_modules(RSVG REQUIRED IMPORTED_TARGET librsvg-2.0)
pkg_check_modules(FLUIDSYNTH REQUIRED IMPORTED_TARGET fluidsynth)

# stb: Debian ships the implementations compiled in libstb (stb_system), which
# the build-time tools link. The program compiles the picture decoder and
# encoder from the headers (stb_lib) with only the formats it loads, so a crafted
# file cannot reach the others; in a sanitizer build they are instrumented too.
# The fuzz target of the picture decoder compiles them into itself the same way.
# Only engine/graphic/stb_compiled.c defines STB_*_IMPLEMENTATION.
find_path(STB_INCLUDE_DIR stb_image.h PATH_SUFFIXES stb REQUIRED)
find_library(STB_LIBRARY stb REQUIRED)
add_library(stb_headers INTERFACE)
target_include_directories(stb_headers SYSTEM INTERFACE ${STB_INCLUDE_DIR})
add_library(stb_system INTERFACE)
target_include_directories(stb_system SYSTEM INTERFACE ${STB_INCLUDE_DIR})
target_link_libraries(stb_system INTERFACE ${STB_LIBRARY})
add_library(stb_lib STATIC ${PROJECT_SOURCE_DIR}/engine/graphic/stb_compiled.c)
target_include_directories(stb_lib SYSTEM PUBLIC ${STB_INCLUDE_DIR})
target_link_libraries(stb_lib PUBLIC m)
# Its PNG reader adds a zero offset to its still-empty data buffer, and copies
# zero bytes into it, when a file starts with an empty IDAT chunk: harmless, not
# ours to change, and it would stop every fuzzing run that meets one. Every other
# check stays on (the address checks among them).
set_target_properties(stb_lib PROPERTIES
  PABRIX_FUZZ_OPTIONS -fno-sanitize=pointer-overflow,nonnull-attribute)

# X11 only where a toolkit's X11 path is built and the code beside it asks X
# directly: SDL's (the SDL glue) and GDK's (the GTK print module).
include(CheckSymbolExists)
set(CMAKE_REQUIRED_QUIET ON)
set(CMAKE_REQUIRED_INCLUDES ${SDL2_INCLUDE_DIRS})
check_symbol_exists(SDL_VIDEO_DRIVER_X11 SDL_config.h PABRIX_SDL_HAS_X11)
set(CMAKE_REQUIRED_INCLUDES ${GTK3_INCLUDE_DIRS})
check_symbol_exists(GDK_WINDOWING_X11 gdk/gdk.h PABRIX_GDK_HAS_X11)
unset(CMAKE_REQUIRED_INCLUDES)
set(PABRIX_SDL_X11 "")
set(PABRIX_GDK_X11 "")
if(PABRIX_SDL_HAS_X11 OR PABRIX_GDK_HAS_X11)
  find_package(X11 REQUIRED)
  if(PABRIX_SDL_HAS_X11)
    set(PABRIX_SDL_X11 X11::X11)
  endif()
  if(PABRIX_GDK_HAS_X11)
    set(PABRIX_GDK_X11 X11::X11)
  endif()
endif()

# DUMB has no pkg-config file.
find_path(DUMB_INCLUDE_DIR dumb.h REQUIRED)
find_library(DUMB_LIBRARY dumb REQUIRED)
add_library(dumb_lib INTERFACE)
target_include_directories(dumb_lib SYSTEM INTERFACE ${DUMB_INCLUDE_DIR})
target_link_libraries(dumb_lib INTERFACE ${DUMB_LIBRARY} m)

if(PABRIX_BENCH)
  find_package(benchmark REQUIRED)
endif()
