// Small file helpers for the program's data files: reading a leading block and
// replacing a file whole. Plain POSIX; any thread, but callers are the app thread.
#pragma once

#include <cstddef>

// Reads up to `size` bytes from the start of `path` into `buffer`. Returns the
// number of bytes read, or -1 when the file cannot be opened.
long readFilePrefix(const char *path, void *buffer, size_t size);

// Writes `size` bytes as the new content of `path`. The bytes go to a temporary
// file in the same folder which is flushed to disk and then renamed over
// `path`, so a crash or a full disk leaves either the old file or the new one,
// never a mix. Returns false (and leaves the old file) on any failure.
bool writeFileAtomically(const char *path, const void *data, size_t size);
