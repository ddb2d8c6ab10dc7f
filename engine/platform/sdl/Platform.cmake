# The Linux platform (included by engine/CMakeLists.txt after the module list):
# SDL2, with X11 only where SDL's X11 path is built; the software Direct3D 7
# device; OpenGL opened at run time; printing through a GTK module.
set(engine ${CMAKE_CURRENT_SOURCE_DIR})

# The Direct3D backend's device: the software one, in the same interfaces.
pabrix_module(swd3d        platform/swd3d PLATFORM DEPS platform)
# The mixer's output and its events on SDL.
pabrix_module_add(mixer    platform/mixer MixOutputSdl.cpp MixEvent.cpp LIBS PkgConfig::SDL2)

# OpenGL is opened at run time (never linked: the software path must not map it);
# only its headers are used at build time.
add_library(gl_headers INTERFACE)
target_include_directories(gl_headers SYSTEM INTERFACE ${GLDEPS_INCLUDE_DIRS})
pabrix_module(platform_gl  platform/gl  PLATFORM DEPS tools LIBS gl_headers ${CMAKE_DL_LIBS})
add_library(pabrix_gl INTERFACE)
target_link_libraries(pabrix_gl INTERFACE engine_platform_gl)

add_library(pabrix_sound_codecs INTERFACE)
target_link_libraries(pabrix_sound_codecs INTERFACE PkgConfig::VORBIS dumb_lib)

pabrix_module(platform_sdl platform/sdl PLATFORM DEPS platform input tools swd3d
                                        LIBS PkgConfig::SDL2 ${PABRIX_SDL_X11})
pabrix_module(print        platform/print PLATFORM DEPS print_api platform platform_sdl tools
                                        LIBS PkgConfig::SDL2 ${CMAKE_DL_LIBS})

# Printing on GTK is a module of its own (platform/print/gtk), which the program
# opens the first time it prints: the program itself never links or maps GTK,
# cairo or pango. It lives beside the program (lib/pabrix/modules in an installed copy).
file(GLOB print_gtk_srcs CONFIGURE_DEPENDS ${engine}/platform/print/gtk/*.cpp)
file(GLOB print_gtk_hdrs CONFIGURE_DEPENDS ${engine}/platform/print/gtk/*.h)
pabrix_layer(pabrix_print_gtk PLATFORM "engine_print_api;engine_print" ${print_gtk_srcs} ${print_gtk_hdrs})
# The page's drawing is a library of its own, which its test links too.
set(print_page_src ${engine}/platform/print/gtk/KPrintPage.cpp)
list(REMOVE_ITEM print_gtk_srcs ${print_page_src})
add_library(pabrix_print_page STATIC ${print_page_src})
target_include_directories(pabrix_print_page PUBLIC ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR})
target_link_libraries(pabrix_print_page PUBLIC PkgConfig::CAIRO)
set_target_properties(pabrix_print_page PROPERTIES POSITION_INDEPENDENT_CODE ON
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
add_library(pabrix_print_gtk MODULE ${print_gtk_srcs}
  ${engine}/platform/print/KPrintLayout.cpp
  ${engine}/print/KPageLayout.cpp)
target_include_directories(pabrix_print_gtk PRIVATE ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR})
target_link_libraries(pabrix_print_gtk PRIVATE pabrix_print_page PkgConfig::GTK3 PkgConfig::CAIRO ${PABRIX_GDK_X11})
set_target_properties(pabrix_print_gtk PROPERTIES
  PREFIX "" OUTPUT_NAME pabrix-print-gtk
  LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
  CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
# Only the libraries it calls are named, and nothing is left to find in the
# program (a sanitizer build leaves the sanitizer's entry points to the program).
target_link_options(pabrix_print_gtk PRIVATE LINKER:--as-needed LINKER:-z,relro,-z,now)
if(NOT PABRIX_SANITIZE AND NOT PABRIX_TSAN)
  target_link_options(pabrix_print_gtk PRIVATE LINKER:-z,defs)
endif()
add_dependencies(engine_print pabrix_print_gtk)

