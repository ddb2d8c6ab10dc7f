// The engine's platform window handle. Opaque to every caller: only the SDL glue
// (engine/platform/sdl) knows what it points at.
#pragma once

struct KNativeWindow;
typedef KNativeWindow *HWND;
