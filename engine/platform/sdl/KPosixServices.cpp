// The operating-system services of tools/KPlatformServices.h on Linux (POSIX):
// signals, fsync + rename, write(2) to the end, nice values.
#include "tools/KPlatformServices.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <string>

namespace {

volatile std::sig_atomic_t requestCount = 0;
struct sigaction previousTerm, previousInt;
bool installed = false;

void chain(int sig, const struct sigaction &prev, siginfo_t *info, void *ctx) {
  if (prev.sa_flags & SA_SIGINFO) {
    if (prev.sa_sigaction) prev.sa_sigaction(sig, info, ctx);
  } else if (prev.sa_handler != SIG_DFL && prev.sa_handler != SIG_IGN && prev.sa_handler) {
    prev.sa_handler(sig);
  }
}

// SIGTERM and SIGINT (a logout, a shutdown, Ctrl+C). Only a sig_atomic_t and
// the previous handler are touched here.
void onSignal(int sig, siginfo_t *info, void *ctx) {
  if (requestCount > 0) {
    // Asked twice: the user wants out even if a screen does not respond.
    std::signal(sig, SIG_DFL);
    std::raise(sig);
    return;
  }
  requestCount = requestCount + 1;
  chain(sig, sig == SIGTERM ? previousTerm : previousInt, info, ctx);
}

}  // namespace

namespace kplatform {

void installCloseRequests() {
  if (installed) return;
  struct sigaction sa {};
  sa.sa_sigaction = onSignal;
  sa.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, &previousTerm);
  sigaction(SIGINT, &sa, &previousInt);
  installed = true;
}

void removeCloseRequests() {
  if (!installed) return;
  sigaction(SIGTERM, &previousTerm, nullptr);
  sigaction(SIGINT, &previousInt, nullptr);
  requestCount = 0;
  installed = false;
}

bool closeRequested() { return requestCount > 0; }

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

// The temporary name carries the process id so two running copies never share one.
bool replaceFileWhole(const char *path, const void *data, size_t size) {
  if (!path || !*path) return false;
  std::string tmp = std::string(path) + ".tmp" + std::to_string((long)::getpid());
  // 0666 under the umask, as a plain fopen("wb") would create it.
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = writeAll(fd, data, size);
  // The data must be on disk before the rename makes it the file.
  if (ok && ::fsync(fd) != 0) ok = false;
  if (::close(fd) != 0) ok = false;
  if (ok && std::rename(tmp.c_str(), path) != 0) ok = false;
  if (!ok) ::unlink(tmp.c_str());
  return ok;
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
