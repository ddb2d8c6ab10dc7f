// File helpers for the program's data files (see fileio.h). The temporary name
// carries the process id so two running copies never share one, and so a
// later start can tell a leftover of a killed save from a save in progress.
#include "app/fileio.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <set>

#include "tools/KLog.h"
#include "tools/KPlatformServices.h"

// Files whose last read failed although they exist (application thread only).
static std::set<std::string> &unreadableFiles() {
  static std::set<std::string> files;
  return files;
}

static long markUnreadable(const char *path, const char *reason) {
  logTrouble("files", "%s cannot be read (%s), so it is kept as it is", path, reason);
  unreadableFiles().insert(path);
  return kFileUnreadable;
}

static const char *kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "not a regular file";
}

long readFilePrefix(const char *path, void *buffer, size_t size) {
  if (!path || !*path) return kFileAbsent;
  // Without O_NONBLOCK a pipe put in a save file's place would block the open
  // until a writer came, which is never.
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      unreadableFiles().erase(path);
      return kFileAbsent;
    }
    return markUnreadable(path, std::strerror(errno));
  }
  struct stat st {};
  const bool statted = ::fstat(fd, &st) == 0;
  if (!statted || !S_ISREG(st.st_mode)) {
    const char *why = statted ? kindOf(st.st_mode) : std::strerror(errno);
    ::close(fd);
    return markUnreadable(path, why);
  }
  size_t got = 0;
  unsigned char *p = static_cast<unsigned char *>(buffer);
  while (got < size) {
    ssize_t n = ::read(fd, p + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int err = errno;
      ::close(fd);
      return markUnreadable(path, std::strerror(err));
    }
    if (n == 0) break;
    got += size_t(n);
  }
  ::close(fd);
  unreadableFiles().erase(path);
  return (long)got;
}

static std::string folderOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string finalTarget(const char *path) {
  std::string p = path ? path : "";
  for (int hops = 0; hops < 40; hops++) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    char link[PATH_MAX];
    ssize_t n = ::readlink(p.c_str(), link, sizeof link - 1);
    if (n <= 0) return p;
    link[n] = 0;
    p = link[0] == '/' ? std::string(link) : folderOf(p) + "/" + link;
  }
  return p;  // a loop of links: saving fails at the open and says so
}

// Flushes the folder itself, so the rename survives a power cut. Some file
// systems cannot flush a folder; the rename has happened either way.
static void flushFolder(const std::string &folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

static bool saveFailed(const char *path, const char *why) {
  logTrouble("files", "%s could not be saved (%s); the old file is kept", path, why);
  return false;
}

bool writeFileAtomically(const char *path, const void *data, size_t size) {
  if (!path || !*path) return false;
  if (unreadableFiles().count(path) != 0)
    return saveFailed(path, "it could not be read, so it is not written over");
  const std::string target = finalTarget(path);
  struct stat st {};
  if (::lstat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return saveFailed(path, kindOf(st.st_mode));
  const std::string tmp = target + ".tmp" + std::to_string((long)::getpid());
  // 0666 under the umask, as a plain fopen("wb") would create it.
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
  if (fd < 0) return saveFailed(path, std::strerror(errno));
  bool ok = kplatform::writeAll(fd, data, size);
  // The data must be on disk before the rename makes it the file.
  if (ok && ::fsync(fd) != 0) ok = false;
  int err = errno;
  if (::close(fd) != 0 && ok) ok = false, err = errno;
  if (ok && std::rename(tmp.c_str(), target.c_str()) != 0) ok = false, err = errno;
  if (!ok) {
    ::unlink(tmp.c_str());
    return saveFailed(path, std::strerror(err));
  }
  flushFolder(folderOf(target));
  return true;
}

// The process id in "<base>.tmp<digits>", or 0 when `name` is not such a name.
static long leftoverPid(const char *name, const std::string &base) {
  const std::string prefix = base + ".tmp";
  if (std::strncmp(name, prefix.c_str(), prefix.size()) != 0) return 0;
  const char *digits = name + prefix.size();
  if (!*digits || std::strlen(digits) > 9) return 0;
  long pid = 0;
  for (const char *d = digits; *d; d++) {
    if (*d < '0' || *d > '9') return 0;
    pid = pid * 10 + (*d - '0');
  }
  return pid;
}

int removeStaleTemporaries(const char *path) {
  if (!path || !*path) return 0;
  const std::string target = finalTarget(path);
  const std::string folder = folderOf(target);
  const std::string base = target.substr(target.rfind('/') + 1);
  DIR *dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent *e = ::readdir(dir)) {
    const long pid = leftoverPid(e->d_name, base);
    if (pid <= 0) continue;
    // Our own id is a leftover too: this process saves nothing while starting.
    // EPERM means the process exists under another user.
    if (pid != (long)::getpid() && (::kill(pid_t(pid), 0) == 0 || errno != ESRCH)) continue;
    const std::string leftover = folder + "/" + e->d_name;
    struct stat st {};
    if (::lstat(leftover.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlink(leftover.c_str()) == 0) {
      logTrouble("files", "removed %s, left by a save that was interrupted", leftover.c_str());
      removed++;
    }
  }
  ::closedir(dir);
  return removed;
}
