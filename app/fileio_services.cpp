// The file helpers of fileio.h on the platform's own services, for a build
// without POSIX (Windows): the save is the platform's crash-safe replacement
// (temporary file, flushed, put in place in one step). There are no symbolic
// links to follow, and no leftovers of killed saves are cleared yet.
#include "app/fileio.h"

#include <cerrno>
#include <cstdio>
#include <set>
#include <string>

#include "tools/KLog.h"
#include "tools/KPlatformServices.h"

// Files whose last read failed although they exist (application thread only).
static std::set<std::string> &unreadableFiles() {
  static std::set<std::string> files;
  return files;
}

long readFilePrefix(const char *path, void *buffer, size_t size) {
  if (!path || !*path) return kFileAbsent;
  FILE *f = std::fopen(path, "rb");
  if (!f) {
    if (errno == ENOENT || errno == ENOTDIR) {
      unreadableFiles().erase(path);
      return kFileAbsent;
    }
    unreadableFiles().insert(path);
    return kFileUnreadable;
  }
  size_t got = std::fread(buffer, 1, size, f);
  const bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    unreadableFiles().insert(path);
    return kFileUnreadable;
  }
  unreadableFiles().erase(path);
  return (long)got;
}

bool writeFileAtomically(const char *path, const void *data, size_t size) {
  if (!path || !*path) return false;
  if (unreadableFiles().count(path) != 0) {
    logTrouble("files", "%s could not be saved (it could not be read, so it is not written over)",
               path);
    return false;
  }
  if (kplatform::replaceFileWhole(path, data, size)) return true;
  logTrouble("files", "%s could not be saved; the old file is kept", path);
  return false;
}

std::string finalTarget(const char *path) { return path ? path : ""; }

int removeStaleTemporaries(const char *) { return 0; }
