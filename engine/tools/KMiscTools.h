// KMiscTools: data-file paths, the documents folder, message boxes, the year,
// the millisecond clock and opening a web address. Static; application thread
// only (makeFilePath and getUserFolder return shared buffers). What every system
// shares is tools/KMiscTools.cpp; the rest is each system's own
// (engine/platform/<system>/KMiscTools.cpp, see tools/KMiscToolsSystem.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "tools/KLog.h"

class KMiscTools {
public:
  static char currentFilePath[260];
  static char builtPath[260];
  static char szPath[260];
  static int _HighFreq;
  static int64_t _unitsPerSecond;
  static int64_t tstart;
  static int64_t tnow;
  static KLog _kLog;
  // Millisecond tick count used when no high-resolution clock exists; tests
  // replace it to drive the 32-bit wrap.
  static uint32_t (*_tickSource)();
  // Hands an address to the desktop (on the browser thread); replaceable so
  // tests never start a browser.
  static void (*_urlOpener)(const char *url, bool maximised);
  // Polled several times a second while a modal box or dialog is open, from any
  // thread (so it may only read flags): true closes the box as cancelled, so a
  // request to quit never waits for someone to answer it. Null: never.
  static bool (*_closeModal)();
  // Called on the application thread once a modal box or dialog has closed.
  static void (*_modalClosed)();

  static void initMiscTools();
  // Absolute path of a data file; the result lives in builtPath until the next call.
  // Names under "data" resolve against the folder findDataFolder picks.
  static char *makeFilePath(const char *filename);
  // Looks for the program's data folder: "data" beside the executable (the build
  // tree and the Windows layout), then "../share/pabrix/data" relative to it (an
  // installed copy, whatever the prefix). True when one exists; `lookedIn`
  // (when given) receives the folders tried, one per line, for the message
  // that says the data is missing.
  static bool findDataFolder(char *lookedIn = nullptr, size_t lookedInSize = 0);
  static char *getUserFolder();
  // Shows a modal box with an OK button (standard error when there is no
  // display); see _closeModal and _modalClosed.
  static void messageBox(const char *title, const char *text);
  static long getYear();
  static void initMillisecond();
  static unsigned long getMilliseconds();
  static void launchURL(char *url, bool maximised);
};
