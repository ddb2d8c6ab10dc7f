# The engine's modules in the Windows build (included by engine/CMakeLists.txt,
# which has made engine_platform). The portable modules are the same sources as
# on Linux; platform/win32 implements the platform interface and the tools'
# operating-system services in place of platform/sdl. The Direct3D window and
# pictures are the Linux sources on the system's DirectDraw 7 and Direct3D 7; the
# mixer's device is DirectSound, its events Win32 events; printing is the common
# print dialog and GDI.
set(win32_libs user32 gdi32 shell32 winmm opengl32 ole32 uuid)
# OpenGL's header needs only these two from windows.h, which the OpenGL backend
# never includes (the engine has its own HWND).
set(gl_defs "WINGDIAPI=__declspec(dllimport)" "APIENTRY=__stdcall")

# Portable modules.
pabrix_module(tools        tools        DEPS platform LIBS Threads::Threads)
pabrix_module(graphic      graphic      DEPS tools LIBS stb_lib)
pabrix_module(input        input        DEPS platform graphic)
pabrix_module(window       window       EXCLUDE KQMX KQMXNull DEPS platform input tools)
pabrix_module(gl           gl           DEPS window graphic input platform tools LIBS opengl32 stb_lib)
target_compile_definitions(engine_gl PRIVATE ${gl_defs})
# The backend's device header is the system's DirectDraw here (see
# cmake/DependenciesWin32.cmake).
pabrix_module(d3d          d3d          DEPS window graphic input platform tools
                                        LIBS ddraw dxguid ${win32_libs})
target_link_libraries(engine_d3d PUBLIC engine_platform_win32)
pabrix_module(sound        sound        DEPS tools mixer LIBS Threads::Threads)
target_include_directories(engine_sound PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/codec)
pabrix_module(print_api    print        DEPS platform)
target_link_libraries(engine_print_api INTERFACE engine_print)

# The DirectSound shape on the mixer; the platform gives its output (DirectSound)
# and its events (Win32 events).
pabrix_module(mixer        platform/mixer PLATFORM EXCLUDE MixOutputSdl MixEvent LIBS Threads::Threads)

# The platform: Win32, WGL, the shell, DirectSound and GDI printing; stb_vorbis
# for Ogg Vorbis.
pabrix_module(platform_win32 platform/win32 PLATFORM DEPS platform input tools mixer print_api
                                           LIBS ${win32_libs} dsound dxguid comdlg32 advapi32 stb_lib Threads::Threads)
target_include_directories(engine_platform_win32 PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32/codec)
add_library(engine_print INTERFACE)
target_link_libraries(engine_print INTERFACE engine_platform_win32)
# The tools' operating-system services and the sound's decoder live in the platform.
target_link_libraries(engine_tools PUBLIC engine_platform_win32)
target_link_libraries(engine_sound PUBLIC engine_platform_win32)
target_link_libraries(engine_mixer PUBLIC engine_platform_win32)

# The factory.
add_library(engine_factory STATIC window/KQMX.cpp)
target_include_directories(engine_factory PUBLIC ${PROJECT_SOURCE_DIR}/engine ${PROJECT_SOURCE_DIR})
target_compile_definitions(engine_factory PRIVATE ${gl_defs})
target_link_libraries(engine_factory PUBLIC engine_gl engine_d3d engine_window engine_tools)
pabrix_layer(engine_factory "" "engine_gl;engine_d3d;engine_window;engine_graphic;engine_tools"
  ${CMAKE_CURRENT_SOURCE_DIR}/window/KQMX.cpp ${CMAKE_CURRENT_SOURCE_DIR}/window/KQMX.h
  ${CMAKE_CURRENT_SOURCE_DIR}/window/KQMXNull.h)

get_property(modules GLOBAL PROPERTY PABRIX_ENGINE_MODULES)
add_library(pabrix_engine STATIC version.cpp)
target_link_libraries(pabrix_engine PUBLIC ${modules} engine_factory ${win32_libs})
