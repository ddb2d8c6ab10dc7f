// The operating-system services of tools/KPlatformServices.h on POSIX (Linux):
// files read without blocking and replaced whole under the link rules, the XDG
// data folder, leftovers, termination signals with the emergency saver thread,
// the one-program lock, nice values. The signal handlers touch only atomics and
// a pipe; the saver thread is detached, so no thread object can end the process.
#include "tools/KPlatformServices.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <thread>

#include "platform/sdl/KPosixServices.h"
#include "tools/KLog.h"

namespace {

const char *kindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a pipe";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISLNK(mode)) return "a link";
  return "not a regular file";
}

std::string folderOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string &path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string realPath(const std::string &path) {
  char buffer[PATH_MAX];
  return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

bool makeFolders(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i != path.size() && path[i] != '/') continue;
    if (::mkdir(path.substr(0, i).c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Where a chain of links ends (at most 40 hops), without needing it to exist.
std::string lastLinkTarget(const std::string &path) {
  std::string p = path;
  for (int hops = 0; hops < 40; hops++) {
    struct stat st {};
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    char link[PATH_MAX];
    const ssize_t n = ::readlink(p.c_str(), link, sizeof link - 1);
    if (n <= 0) return p;
    link[n] = 0;
    p = link[0] == '/' ? std::string(link) : folderOf(p) + "/" + link;
  }
  return std::string();  // a loop of links
}

bool inside(const std::string &path, const std::string &folder) {
  return !folder.empty() && path.size() > folder.size() &&
         path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

// The file a save of `path` may write, or empty with `why` when the link rules
// forbid it (see replaceFileWhole).
std::string saveTarget(const std::string &path, size_t size,
                       const std::vector<std::string> &safeFolders, std::string &why) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return path;  // a first save
  if (!S_ISLNK(st.st_mode)) {
    if (S_ISREG(st.st_mode)) return path;
    why = kindOf(st.st_mode);
    return std::string();
  }
  const std::string real = realPath(path);
  if (!real.empty()) {
    if (::stat(real.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
        (unsigned long long)st.st_size == size)
      return real;
    why = "it is a link to " + real + ", which is not one of this program's files";
    return std::string();
  }
  // A dangling link: the file it names may only be made inside a safe folder.
  const std::string last = lastLinkTarget(path);
  const std::string folder = last.empty() ? std::string() : realPath(folderOf(last));
  for (const std::string &safe : safeFolders) {
    const std::string realSafe = realPath(safe);
    if (!folder.empty() && (folder == realSafe || inside(folder, realSafe)))
      return folder + "/" + nameOf(last);
  }
  why = "it is a link to " + (last.empty() ? std::string("itself") : last) +
        ", outside the program's folders";
  return std::string();
}

std::string randomHex() {
  unsigned char bytes[8] = {};
  if (::getrandom(bytes, sizeof bytes, 0) != (ssize_t)sizeof bytes) {
    // Unpredictable enough without it: the clock's nanoseconds and the address space.
    const long long mix = (long long)kplatform::monotonicMs() ^ (long long)(uintptr_t)&bytes;
    std::memcpy(bytes, &mix, sizeof bytes);
  }
  char text[17];
  for (int i = 0; i < 8; i++) std::snprintf(text + 2 * i, 3, "%02x", bytes[i]);
  return text;
}

// Flushes the folder itself, so the rename survives a power cut. Some file
// systems cannot flush a folder; the rename has happened either way.
void flushFolder(const std::string &folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

bool writeTemporary(const std::string &tmp, const void *data, size_t size, std::string &why) {
  // O_EXCL with O_NOFOLLOW: a link or file planted under this name is never opened.
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (fd < 0) {
    why = std::strerror(errno);
    return false;
  }
  // The data must be on disk before the rename makes it the file.
  bool ok = kplatform::writeAll(fd, data, size) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) ok = false, err = errno;
  if (!ok) {
    why = std::strerror(err);
    ::unlink(tmp.c_str());
  }
  return ok;
}

// ---------------------------------------------------------------------------
// Close requests

std::atomic<void (*)()> requestHook{nullptr};
std::atomic<bool (*)()> saveHook{nullptr};
struct sigaction previousTerm, previousInt;
bool installed = false;
int saverPipe[2] = {-1, -1};
pid_t saverProcess = 0;  // the process whose saver thread reads saverPipe

void onSignal(int) {
  if (void (*request)() = requestHook.load()) request();
}

// Waits for forceQuit's word, then saves and ends the process.
void saverLoop(int fd) {
  char word = 0;
  for (;;) {
    const ssize_t n = ::read(fd, &word, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    kposix::saveAndExit("asked again to quit and still running: saving and leaving now");
  }
}

void startSaver() {
  // A forked copy has the pipe but not the thread: it needs its own, or its
  // forced quit would wake the parent's saver.
  if (saverPipe[1] >= 0 && saverProcess == ::getpid()) return;
  if (saverPipe[1] >= 0) {
    ::close(saverPipe[0]);
    ::close(saverPipe[1]);
  }
  saverProcess = ::getpid();
  if (::pipe2(saverPipe, O_CLOEXEC) != 0) {
    saverPipe[0] = saverPipe[1] = -1;
    return;
  }
  std::thread(saverLoop, saverPipe[0]).detach();
}

// ---------------------------------------------------------------------------
// One program per user

int instanceLock = -1;
std::atomic<bool> showRequested{false};

void onShowRequest(int) { showRequested = true; }

}  // namespace

namespace kposix {

void saveAndExit(const char *why) {
  logTrouble("quit", "%s", why);
  bool (*save)() = saveHook.load();
  const bool saved = save ? save() : false;
  ::_exit(saved ? 0 : 1);
}

bool takeShowRequest() { return showRequested.exchange(false); }

}  // namespace kposix

namespace kplatform {

bool writeAll(int fd, const void *data, size_t size) {
  const auto *p = static_cast<const unsigned char *>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, p, size);
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
  const int fd = ::open(name, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    errno = EINVAL;
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags != -1) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  FILE *f = ::fdopen(fd, "rb");
  if (!f) ::close(fd);
  return f;
}

long readRegularFile(const char *path, void *buffer, size_t size, std::string &why) {
  const int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return kNoFile;
    why = std::strerror(errno);
    return kNotReadable;
  }
  struct stat st {};
  const bool statted = ::fstat(fd, &st) == 0;
  if (!statted || !S_ISREG(st.st_mode)) {
    why = statted ? kindOf(st.st_mode) : std::strerror(errno);
    ::close(fd);
    return kNotReadable;
  }
  size_t got = 0;
  auto *p = static_cast<unsigned char *>(buffer);
  while (got < size) {
    const ssize_t n = ::read(fd, p + got, size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      why = std::strerror(errno);
      ::close(fd);
      return kNotReadable;
    }
    if (n == 0) break;
    got += size_t(n);
  }
  ::close(fd);
  return (long)got;
}

bool replaceFileWhole(const char *path, const void *data, size_t size,
                      const std::vector<std::string> &safeFolders, std::string &why) {
  if (!path || !*path) {
    why = "no file name";
    return false;
  }
  const std::string target = saveTarget(path, size, safeFolders, why);
  if (target.empty()) return false;
  const std::string tmp = target + ".tmp" + std::to_string((long)::getpid()) + "-" + randomHex();
  if (!writeTemporary(tmp, data, size, why)) return false;
  if (std::rename(tmp.c_str(), target.c_str()) != 0) {
    why = std::strerror(errno);
    ::unlink(tmp.c_str());
    return false;
  }
  flushFolder(folderOf(target));
  return true;
}

std::string userDataFolder() {
  std::string folder;
  if (const char *env = std::getenv("XDG_DATA_HOME"); env && env[0] == '/') {
    folder = std::string(env) + "/pabrix";
  } else {
    const char *home = std::getenv("HOME");
    if (!home || home[0] != '/') {
      const passwd *pw = ::getpwuid(::getuid());
      home = pw && pw->pw_dir && pw->pw_dir[0] == '/' ? pw->pw_dir : nullptr;
    }
    if (!home) return std::string();
    folder = std::string(home) + "/.local/share/pabrix";
  }
  return makeFolders(folder) ? folder : std::string();
}

long long modifiedTime(const char *path) {
  struct stat st {};
  if (!path || ::stat(path, &st) != 0) return -1;
  return (long long)st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec;
}

std::vector<std::string> listFolder(const char *folder) {
  std::vector<std::string> names;
  DIR *dir = folder ? ::opendir(folder) : nullptr;
  if (!dir) return names;
  while (const dirent *e = ::readdir(dir)) {
    if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
      names.emplace_back(e->d_name);
  }
  ::closedir(dir);
  return names;
}

std::string finalTarget(const char *path) {
  const std::string last = lastLinkTarget(path ? path : "");
  return last.empty() ? std::string(path ? path : "") : last;  // a loop: the saves say so
}

bool removeRegularFile(const char *path) {
  struct stat st {};
  return path && ::lstat(path, &st) == 0 && S_ISREG(st.st_mode) && ::unlink(path) == 0;
}

std::string existingPathIgnoringCase(const std::string &path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) return path;
  std::string done = !path.empty() && path[0] == '/' ? "/" : "";
  size_t pos = done.size();
  while (pos <= path.size()) {
    size_t slash = path.find('/', pos);
    if (slash == std::string::npos) slash = path.size();
    const std::string part = path.substr(pos, slash - pos);
    pos = slash + 1;
    if (part.empty()) continue;
    std::string next = done + part;
    if (::stat(next.c_str(), &st) != 0) {
      std::string found;
      for (const std::string &name : listFolder(done.empty() ? "." : done.c_str())) {
        if (::strcasecmp(name.c_str(), part.c_str()) == 0) {
          found = name;
          break;
        }
      }
      if (found.empty()) return std::string();
      next = done + found;
    }
    done = next;
    if (pos <= path.size()) done += '/';
  }
  return done;
}

bool processRunning(long pid) {
  // EPERM: it runs under another user.
  return pid > 0 && (::kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

long monotonicMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);  // async-signal-safe
  return long(ts.tv_sec) * 1000 + long(ts.tv_nsec / 1000000);
}

void installCloseRequests(const CloseHooks &hooks) {
  requestHook = hooks.request;
  saveHook = hooks.save;
  startSaver();
  if (installed) return;
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGTERM, &sa, &previousTerm);
  ::sigaction(SIGINT, &sa, &previousInt);
  installed = true;
}

void removeCloseRequests() {
  if (!installed) return;
  ::sigaction(SIGTERM, &previousTerm, nullptr);
  ::sigaction(SIGINT, &previousInt, nullptr);
  requestHook = nullptr;
  saveHook = nullptr;
  installed = false;
}

void forceQuit() {
  const char word = 'f';
  if (saverPipe[1] >= 0 && saverProcess == ::getpid() && ::write(saverPipe[1], &word, 1) == 1)
    return;
  ::_exit(1);  // no saver thread could be started: leave as the signal would have made us
}

bool claimSingleInstance() {
  if (instanceLock >= 0) return true;  // this process holds it already
  const std::string folder = userDataFolder();
  if (folder.empty()) return true;  // nowhere to keep a lock: nothing to guard
  const std::string path = folder + "/pabrix.lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return true;
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    struct sigaction sa {};
    sa.sa_handler = onShowRequest;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGUSR1, &sa, nullptr);
    const std::string pid = std::to_string((long)::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) writeAll(fd, pid.data(), pid.size());
    instanceLock = fd;
    return true;
  }
  char text[32] = {};
  const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
  ::close(fd);
  const long other = n > 0 ? std::strtol(text, nullptr, 10) : 0;
  if (other > 0 && other != (long)::getpid()) ::kill(pid_t(other), SIGUSR1);
  return false;
}

unsigned long currentThreadId() { return static_cast<unsigned long>(::syscall(SYS_gettid)); }

void raiseThreadPriority(unsigned long threadId) {
  const id_t tid = static_cast<id_t>(threadId);
  errno = 0;
  const int nice = ::getpriority(PRIO_PROCESS, tid);
  if (errno == 0) ::setpriority(PRIO_PROCESS, tid, nice - 1);
}

}  // namespace kplatform
