# The Windows platform (included by engine/CMakeLists.txt after the module list):
# platform/win32 implements the platform interface and the tools' operating-system
# services. The Direct3D window and pictures are the portable sources on the
# system's DirectDraw 7 and Direct3D 7; the mixer's device is DirectSound, its
# events Win32 events; OpenGL is WGL; printing is the common print dialog and GDI;
# Ogg Vorbis is stb_vorbis. The stand-in headers in compat/ (first on every
# target's include path, see cmake/DependenciesWin32.cmake) give these under the
# names the portable code includes.
set(win32_libs user32 gdi32 shell32 winmm opengl32 ole32 uuid)
pabrix_module(platform_win32 platform/win32 PLATFORM DEPS platform input tools mixer print_api
                                           LIBS ${win32_libs} dsound dxguid comdlg32 advapi32 stb_lib Threads::Threads)

# The Direct3D backend's device is the system's (compat/platform/swd3d/SwD3D.h).
add_library(engine_swd3d INTERFACE)
target_link_libraries(engine_swd3d INTERFACE ddraw dxguid engine_platform_win32)

# OpenGL's header needs only these two from windows.h, which the OpenGL backend
# and the factory never include (the engine has its own HWND).
add_library(pabrix_gl INTERFACE)
target_link_libraries(pabrix_gl INTERFACE opengl32)
target_compile_definitions(engine_gl PRIVATE "WINGDIAPI=__declspec(dllimport)" "APIENTRY=__stdcall")
target_compile_definitions(engine_factory PRIVATE "WINGDIAPI=__declspec(dllimport)" "APIENTRY=__stdcall")

# Ogg Vorbis on stb_vorbis (KVorbisFile.cpp); no tracker modules (compat/dumb.h).
add_library(pabrix_sound_codecs INTERFACE)
target_link_libraries(pabrix_sound_codecs INTERFACE engine_platform_win32)

add_library(engine_print INTERFACE)
target_link_libraries(engine_print INTERFACE engine_platform_win32)
# The mixer's output and events, and the tools' operating-system services, live
# in the platform folder.
target_link_libraries(engine_mixer PUBLIC engine_platform_win32)
target_link_libraries(engine_tools PUBLIC engine_platform_win32)
