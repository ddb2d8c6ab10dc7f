// Small file helpers for the program's data files: reading a leading block and
// replacing a file whole. Plain POSIX; any thread, but callers are the app thread.
#pragma once

#include <cstddef>

// Reads up to `size` bytes from the start of `path` into `buffer`. Returns the
// number of bytes read; kFileAbsent when there is no such file; kFileUnreadable
// when the file exists but cannot be opened or read (permissions, I/O error).
// An unreadable file is remembered: writeFileAtomically refuses to replace it
// until a later read succeeds, so a screen that started from empty defaults
// never writes them over the child's saved work.
constexpr long kFileAbsent = -1;
constexpr long kFileUnreadable = -2;
long readFilePrefix(const char *path, void *buffer, size_t size);

// Writes `size` bytes as the new content of `path`. The bytes go to a temporary
// file in the same folder which is flushed to disk and then renamed over
// `path`, so a crash or a full disk leaves either the old file or the new one,
// never a mix. Returns false (and leaves the old file) on any failure, and for
// a file the last read found unreadable.
bool writeFileAtomically(const char *path, const void *data, size_t size);
