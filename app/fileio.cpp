// File helpers for the program's data files (see fileio.h). The temporary name
// carries the process id so two running copies never share one.
#include "app/fileio.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <set>
#include <string>

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

static bool writeAll(int fd, const unsigned char *p, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= (size_t)n;
  }
  return true;
}

bool writeFileAtomically(const char *path, const void *data, size_t size) {
  if (!path || !*path) return false;
  if (unreadableFiles().count(path) != 0) {
    std::fprintf(stderr, "Pabrix: %s could not be read, so it is kept as it is\n", path);
    return false;
  }
  std::string tmp = std::string(path) + ".tmp" + std::to_string((long)::getpid());
  // 0666 under the umask, as a plain fopen("wb") would create it.
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = writeAll(fd, static_cast<const unsigned char *>(data), size);
  // The data must be on disk before the rename makes it the file.
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && std::rename(tmp.c_str(), path) != 0) ok = false;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
}
