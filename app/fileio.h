// Small file helpers for the program's data files: reading a leading block,
// replacing a file whole, and clearing what an interrupted save left behind.
// Plain POSIX; application thread (the emergency save on a second quit signal
// runs on another thread only while the application thread is stuck).
#pragma once

#include <cstddef>
#include <string>

// Reads up to `size` bytes from the start of `path` into `buffer`. Returns the
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

// Writes `size` bytes as the new content of `path`. The bytes go to a temporary
// file "<name>.tmp<pid>" in the same folder which is flushed to disk and then
// renamed over `path`, and the folder is flushed after the rename, so a crash,
// a power cut or a full disk leaves either the old file or the new one, never
// a mix or none. A symbolic link is saved through: the link stays and its
// final target gets the new bytes (a dangling link gets its target created).
// Returns false (and leaves the old file, with one log line saying why) on any
// failure, for a file the last read found unreadable, and for a target that is
// not a regular file.
bool writeFileAtomically(const char *path, const void *data, size_t size);

// The file `path` finally names after following symbolic links (at most 40);
// `path` itself when it is no link. A relative link is resolved against the
// folder of the link that holds it.
std::string finalTarget(const char *path);

// Removes the temporary files "<name>.tmp<pid>" that saves of `path` (through
// any link) left behind when their process was killed: only those whose
// process no longer runs, only regular files, nothing else in the folder.
// Returns how many were removed.
int removeStaleTemporaries(const char *path);

// What a stuck program saves when it is made to quit at once (a second quit
// signal, see closeRequest.h): the preferences, and the data of the screen that
// is open, which that screen registers while its data is loaded (null clears).
enum EmergencySlot { kEmergencyPreferences = 0, kEmergencyScreen = 1 };
void setEmergencySave(EmergencySlot slot, bool (*save)());
// Runs the registered saves; true when every one succeeded. Called on another
// thread while the application thread is stuck.
bool runEmergencySaves();
