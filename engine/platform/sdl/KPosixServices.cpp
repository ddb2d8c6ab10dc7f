// The operating-system services of tools/KPlatformServices.h on Linux (POSIX):
// write(2) to the end, regular files only, nice values. Close requests and whole
// replacement are the Windows shell's; the POSIX shell does its own, with more
// (app/closeRequest.cpp, app/fileio.cpp).
#include "tools/KPlatformServices.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace kplatform {

bool writeAll(int fd, const void *data, size_t size) {
  const auto *p = static_cast<const unsigned char *>(data);
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

FILE *openRegularFile(const char *name) {
  // O_NONBLOCK until the file is known to be regular, so a FIFO cannot block.
  int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st{};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags != -1) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FILE *f = fdopen(fd, "rb");
  if (!f) ::close(fd);
  return f;
}

unsigned long currentThreadId() { return static_cast<unsigned long>(syscall(SYS_gettid)); }

void raiseThreadPriority(unsigned long threadId) {
  const id_t tid = static_cast<id_t>(threadId);
  errno = 0;
  int nice = getpriority(PRIO_PROCESS, tid);
  if (errno == 0) setpriority(PRIO_PROCESS, tid, nice - 1);
}

}  // namespace kplatform
