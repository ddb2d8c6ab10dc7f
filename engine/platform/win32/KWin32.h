// windows.h for the Win32 platform files. The engine has its own window handle
// type named HWND (a KNativeWindow pointer, the same on every platform), so the
// system's handle is declared here as Win32HWND; and the engine's message
// constants are declared before the system's macros of the same names and
// values take over. Include this after every engine header of the file.
#pragma once

#include "platform/KWindowHandle.h"
#include "platform/KWindowMessages.h"

#define HWND Win32HWND
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <shlobj.h>
#undef HWND
