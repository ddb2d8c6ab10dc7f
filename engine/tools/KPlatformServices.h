// The services of the operating system that portable code needs, each implemented
// completely by every platform (engine/platform/sdl/KPosixServices.cpp on POSIX,
// engine/platform/win32/KPlatformServices.cpp on Windows): reading and replacing
// files safely, the user's folders, leftovers of killed saves, close requests with
// the emergency save, one program per user, and the music worker's priority.
// Portable code says what must happen (app/fileio.cpp, app/closeRequest.cpp); these
// say how. Application thread unless a function says otherwise.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

namespace kplatform {

// ---------------------------------------------------------------------------
// Files

// Opens a file for binary reading only when it is a regular file: a folder or a
// device fails like a missing file, and opening a named pipe never blocks.
FILE *openRegularFile(const char *name);

// What readRegularFile returns instead of a byte count.
constexpr long kNoFile = -1;       // nothing of that name (or a folder on the way is missing)
constexpr long kNotReadable = -2;  // it exists but is no regular file or cannot be read

// Reads up to `size` bytes from the start of `path`, through openRegularFile's
// rules (never blocks, regular files only). Returns the number of bytes read, or
// kNoFile / kNotReadable with `why` saying what is in the way.
long readRegularFile(const char *path, void *buffer, size_t size, std::string &why);

// Writes `size` bytes as the new content of `path` so that a crash or a power
// cut leaves either the old file or the new one: a temporary file with an
// unpredictable name beside the target, created exclusively (a link or file
// planted in its place is never written through), flushed, put in place in one
// step, the folder flushed. A link at `path` is followed only when that is safe:
// its final target is a regular file owned by this user whose size is exactly
// `size`, or it does not exist yet and would be created inside one of
// `safeFolders`. Otherwise nothing is written (the link and its target stay as
// they are). A target that is not a regular file is refused as well. A moment's
// refusal by the system (a file another program holds open) is retried briefly.
// False, with `why`, and the old file untouched on any failure.
bool replaceFileWhole(const char *path, const void *data, size_t size,
                      const std::vector<std::string> &safeFolders, std::string &why);

// The user's own data folder for this program, created if missing
// ($XDG_DATA_HOME/pabrix or ~/.local/share/pabrix; %LOCALAPPDATA%\Pabrix). It
// takes a file whose save in its usual place failed. Empty when there is none.
std::string userDataFolder();

// When `path` was last modified, in the system's own units (comparable between
// files only), or -1 when it does not exist.
long long modifiedTime(const char *path);

// The names in `folder` (no "." or ".."); empty when it cannot be listed.
std::vector<std::string> listFolder(const char *folder);

// Writes all `size` bytes to the open file descriptor `fd`, going on after short
// writes and interrupted calls. False when a write fails.
bool writeAll(int fd, const void *data, size_t size);

// The file `path` finally names after following links (at most 40 hops; a
// relative link is resolved against the folder of the link that holds it);
// `path` itself when it is no link. The target need not exist.
std::string finalTarget(const char *path);

// Removes `path` when it is a regular file (never a link, folder or device).
bool removeRegularFile(const char *path);

// `path` as it exists on disk when some of its components differ from the
// written name only in ASCII case (data names were written for a file system
// that ignores case); `path` itself when it exists as written; empty when
// nothing matches. Slashes separate components.
std::string existingPathIgnoringCase(const std::string &path);

// A save's temporary file is named after its target with the suffix
// ".tmp<process id>-<random hex>" (older versions wrote ".tmp<process id>"), so
// a later start can tell a killed save's leftover from a save in progress.
// The process id a suffix names, or 0 when `suffix` is no such suffix.
inline long temporarySuffixProcess(const char *suffix) {
  if (!suffix || suffix[0] != '.' || suffix[1] != 't' || suffix[2] != 'm' || suffix[3] != 'p')
    return 0;
  long pid = 0;
  int digits = 0;
  const char *p = suffix + 4;
  for (; *p >= '0' && *p <= '9'; p++)
    if (++digits > 9) return 0;
    else pid = pid * 10 + (*p - '0');
  if (digits == 0) return 0;
  if (*p == 0) return pid;
  if (*p++ != '-' || *p == 0) return 0;
  for (; *p; p++)
    if (!((*p >= '0' && *p <= '9') || (*p >= 'a' && *p <= 'f'))) return 0;
  return pid;
}
// True while the process with that id runs (under any user).
bool processRunning(long pid);

// ---------------------------------------------------------------------------
// Quitting

// What the platform calls when the session asks the program to close.
struct CloseHooks {
  // A close request: a termination signal, Ctrl+C, the session ending. May run
  // inside a signal handler or on a thread of the system's: it may only touch
  // lock-free atomics, call monotonicMs() and forceQuit().
  void (*request)() = nullptr;
  // Saves what must not be lost, without the application thread's help (it may
  // be stuck); true when everything was saved. Runs after forceQuit(), when the
  // display is lost for good, and when the session ends (before the system ends
  // the process); the process ends after it, except at the session's end.
  bool (*save)() = nullptr;
};

// From install() on the hooks get the session's close requests, and the
// platform's own handlers of those requests (a library's signal handlers) are
// off. remove() puts the previous handling back.
void installCloseRequests(const CloseHooks &hooks);
void removeCloseRequests();

// Asks the platform to run hooks.save on a thread that can, then end the
// process at once. Safe inside a signal handler and from any thread.
void forceQuit();

// A monotonic clock in milliseconds. Safe inside a signal handler.
long monotonicMs();

// ---------------------------------------------------------------------------
// One program per user

// True when this is the only running copy of the program for this user (the
// claim lasts until the process ends). False when another copy runs: it has been
// asked to come to the front, and this one should end without touching files.
bool claimSingleInstance();

// ---------------------------------------------------------------------------
// Threads

// The calling thread's system id, and a nudge one step above normal priority for
// the thread with that id where the system allows it (silently nothing elsewhere).
unsigned long currentThreadId();
void raiseThreadPriority(unsigned long threadId);

}  // namespace kplatform
