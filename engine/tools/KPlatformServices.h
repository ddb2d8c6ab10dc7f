// The few services of the operating system itself that portable code needs:
// the close requests of the session (Ctrl+C, logout, shutdown), replacing a file
// whole, writing all of a buffer to an open file, and the thread priority of the
// music worker. Each platform folder implements them (sdl/ on Linux, where they
// are POSIX, and win32/ on Windows), but for the close requests and the whole
// replacement, which only the Windows shell takes: on POSIX the shell handles
// signals and saves itself, following links and waiting out a stuck screen.
#pragma once

#include <cstddef>
#include <cstdio>

namespace kplatform {

// From install() on, the session's close requests are counted (the handler only
// counts); a second request while the first is pending ends the process at once,
// as the system would have. remove() puts the previous handling back and clears
// the count. Both are for the application thread.
void installCloseRequests();
void removeCloseRequests();
bool closeRequested();

// Writes `size` bytes as the new content of `path`: a temporary file in the same
// folder, flushed to the disk, then put in place of the old file in one step, so
// a crash leaves either the old file or the new one. False, with the old file
// untouched, on any failure.
bool replaceFileWhole(const char *path, const void *data, size_t size);

// Writes all `size` bytes to the open file descriptor `fd`, going on after short
// writes and interrupted calls. False when a write fails.
bool writeAll(int fd, const void *data, size_t size);

// Opens a file for binary reading only when it is a regular file: a folder or a
// device fails like a missing file, and opening a named pipe never blocks.
FILE *openRegularFile(const char *name);

// The calling thread's system id, and a nudge one step above normal priority for
// the thread with that id where the system allows it (silently nothing elsewhere).
unsigned long currentThreadId();
void raiseThreadPriority(unsigned long threadId);

}  // namespace kplatform
