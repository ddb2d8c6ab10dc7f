// Small file helpers for the program's data files: reading a leading block,
// replacing a file whole, and clearing what an interrupted save left behind.
// Portable: the system calls are the platform services' (tools/KPlatformServices.h).
// Application thread (the emergency saves run on another thread only while the
// application thread is stuck).
#pragma once

#include <cstddef>
#include <string>

// Reads up to `size` bytes from the start of `path` into `buffer`, or from its
// copy in the user's data folder when that is newer (a save that could not go to
// `path` went there; a damaged newer copy gives way to the older). Returns the
// number of bytes read; kFileAbsent when there is no such file; kFileUnreadable
// when the file exists but cannot be opened or read (permissions, I/O error),
// or is not a regular file (a folder, a pipe, a device: opened without
// blocking, never read from). An unreadable file is remembered and logged:
// writeFileAtomically refuses to replace it until a later read succeeds, so a
// screen that started from empty defaults never writes them over the child's
// saved work.
constexpr long kFileAbsent = -1;
constexpr long kFileUnreadable = -2;
long readFilePrefix(const char *path, void *buffer, size_t size);

// Writes `size` bytes as the new content of `path`, crash-safe (a temporary
// file with an unpredictable name beside it, flushed, put in place in one step,
// the folder flushed), so a crash, a power cut or a full disk leaves either the
// old file or the new one. A link at `path` is followed only to this user's
// regular file of exactly `size` bytes, or to a file yet to be made inside the
// documents or data folder. When `path` refuses the save (a full or read-only
// folder, a link elsewhere, something that is not a regular file, a file the
// last read found unreadable), the bytes go to the same name in the user's data
// folder instead, with one log line, and the refused file is left as it is.
// False (with one log line saying why) only when no place took them.
bool writeFileAtomically(const char *path, const void *data, size_t size);

// The file `path` finally names after following symbolic links; `path` itself
// when it is no link.
std::string finalTarget(const char *path);

// Removes the temporary files that saves of `path` (beside the file a link
// names, and beside its data-folder copy) left when their process was killed:
// only those whose process no longer runs, only regular files, nothing else.
// Returns how many were removed.
int removeStaleTemporaries(const char *path);
// The same for the camera's pictures ("Pabrix <date>.png") in `folder`.
int removeStalePictureTemporaries(const char *folder);

// What a stuck program saves when it is made to quit at once (a second quit
// signal, see closeRequest.h): the preferences, and the data of the screen that
// is open, which that screen registers while its data is loaded (null clears).
enum EmergencySlot { kEmergencyPreferences = 0, kEmergencyScreen = 1 };
void setEmergencySave(EmergencySlot slot, bool (*save)());
// Runs the registered saves; true when every one succeeded. Called on another
// thread while the application thread is stuck.
bool runEmergencySaves();
