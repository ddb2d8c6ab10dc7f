// KMiscTools on Linux, the system's half (tools/KMiscTools.cpp has the rest): the
// program folder from /proc/self/exe, the XDG documents folder, the year, the
// monotonic clock and the desktop's address opener. Application thread only.
#include "tools/KMiscTools.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/KPlatform.h"
#include "tools/KMiscToolsSystem.h"

namespace kmisc {

// Low 32 bits of a monotonic millisecond count, like the classic tick counter.
uint32_t systemTicks() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
  return uint32_t(ms);
}

// Nanoseconds (see initMillisecond).
int64_t highFrequencyCount() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// The desktop opener has no window-size hint, so `maximised` goes unused.
void systemOpenURL(const char *url, bool) { KPlatform::openURL(url); }

// Standard error is the report here: a desktop session keeps it, a terminal shows it.
void systemLogLine(const char *, size_t) {}
const char *systemLogPath() { return ""; }

}  // namespace kmisc

namespace {

const char *homeFolder() {
  const char *home = getenv("HOME");
  if (home && home[0] == '/') return home;
  if (passwd *pw = getpwuid(getuid())) {
    if (pw->pw_dir && pw->pw_dir[0] == '/') return pw->pw_dir;
  }
  return nullptr;
}

// Expands the "$HOME/..." form that user-dirs.dirs uses; other values must be
// absolute. Returns an empty string for anything unusable.
std::string expandDocumentsValue(const std::string &value) {
  if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/')) {
    const char *home = homeFolder();
    if (!home) return std::string();
    return std::string(home) + value.substr(5);
  }
  if (!value.empty() && value[0] == '/') return value;
  return std::string();
}

// XDG_DOCUMENTS_DIR="..." from $XDG_CONFIG_HOME/user-dirs.dirs (or ~/.config).
std::string documentsFromUserDirs() {
  std::string file;
  const char *config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') {
    file = std::string(config) + "/user-dirs.dirs";
  } else if (const char *home = homeFolder()) {
    file = std::string(home) + "/.config/user-dirs.dirs";
  } else {
    return std::string();
  }
  FILE *f = fopen(file.c_str(), "r");
  if (!f) return std::string();
  std::string found;
  char line[4096];
  while (fgets(line, sizeof line, f)) {
    const char *p = line;
    while (*p == ' ' || *p == '\t') ++p;
    static const char key[] = "XDG_DOCUMENTS_DIR=";
    if (strncmp(p, key, sizeof key - 1) != 0) continue;
    p += sizeof key - 1;
    std::string v;
    if (*p == '"') {
      ++p;
      while (*p && *p != '"') v += *p++;
    } else {
      while (*p && *p != '\n' && *p != '\r') v += *p++;
    }
    found = expandDocumentsValue(v);  // the last assignment wins, as in a shell
  }
  fclose(f);
  return found;
}

// mkdir -p; true when `path` ends up being a directory.
bool makeFolders(const std::string &path) {
  struct stat st{};
  if (stat(path.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  for (size_t i = 1; i <= path.size(); ++i) {
    if (i != path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
  }
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// True when `name` equals `folder` or continues it with a separator.
bool startsWithFolder(const char *name, const char *folder) {
  if (!folder || folder[0] != '/' || folder[1] == 0) return false;
  size_t n = strlen(folder);
  while (n > 1 && folder[n - 1] == '/') --n;
  if (strncmp(name, folder, n) != 0) return false;
  return name[n] == 0 || name[n] == '/' || name[n] == '\\';
}

// The rule for absolute POSIX paths (see makeFilePath).
bool isAbsolutePosixPath(const char *name) {
  if (name[0] != '/') return false;
  if (startsWithFolder(name, KMiscTools::currentFilePath) || startsWithFolder(name, KMiscTools::szPath) ||
      startsWithFolder(name, getenv("HOME")))
    return true;
  size_t len = strcspn(name + 1, "/\\");
  if (len == 0 || len > 255) return false;
  std::string first(name + 1, len);
  if (first == "." || first == "..") return false;
  struct stat st{};
  if (stat(("/" + first).c_str(), &st) != 0) return false;
  std::string inProgram = std::string(KMiscTools::currentFilePath) + "/" + first;
  return lstat(inProgram.c_str(), &st) != 0;
}

bool isFolder(const std::string &path) {
  struct stat st{};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The folders that may hold "data", in the order they are tried: the program
// folder, then share/pabrix under the folder above it (bin/ sits beside share/
// under every install prefix). "" stands for the root folder so that joining
// with "/data" gives the right path.
void dataParents(std::string out[2]) {
  std::string program = KMiscTools::currentFilePath;
  if (program == "/") program.clear();
  out[0] = program;
  size_t cut = program.rfind('/');
  out[1] = (cut == std::string::npos ? std::string() : program.substr(0, cut)) + "/share/pabrix";
}

// The folder data names resolve against: the first candidate that has a data
// folder, else the program folder (so a missing file still names a path that
// fails to open, as it always did).
std::string dataParent() {
  std::string candidates[2];
  dataParents(candidates);
  for (const std::string &c : candidates) {
    if (isFolder(c + "/data")) return c;
  }
  return candidates[0];
}

// "data", "data\..." or "data/...": names of the program's own data files.
bool isDataName(const char *name) {
  return strncmp(name, "data", 4) == 0 && (name[4] == 0 || name[4] == '\\' || name[4] == '/');
}

}  // namespace

void KMiscTools::initMiscTools() {
  char exe[260] = {0};
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  if (n > 0) {
    exe[n] = 0;
  } else if (!getcwd(exe, sizeof exe - 1)) {
    // No executable path and no current folder: resolve against the root.
    snprintf(exe, sizeof exe, "/");
  } else {
    // getcwd gives a folder; append a stand-in file name so the cut below keeps it.
    size_t len = strlen(exe);
    if (len + 2 < sizeof exe) snprintf(exe + len, sizeof exe - len, "/x");
  }
  snprintf(currentFilePath, sizeof currentFilePath, "%s", exe);
  // Cut at the last separator, searching down to the second character. A
  // program in the root folder ("/pabrix") has its only separator first; its
  // folder is then "/" rather than the program file itself.
  bool cut = false;
  for (int i = int(strlen(currentFilePath)) - 1; i >= 1 && !cut; --i) {
    if (currentFilePath[i] == '/') {
      currentFilePath[i] = 0;
      cut = true;
    }
  }
  if (!cut && currentFilePath[0] == '/') currentFilePath[1] = 0;
  initMillisecond();
  getYear();
}

// Data names are relative to the program folder and written with backslashes.
// Rules, in order:
//  1. A name that begins with '/' and is an absolute POSIX path is kept as it
//     is. It is absolute when it begins with the program folder, the documents
//     folder getUserFolder returned, or $HOME; or when its first component
//     exists at the filesystem root but not in the program folder. So
//     "/home/u/Documents\pabrix.prf" stays put while "/data/x.tga" is still
//     the data name data/x.tga.
//  2. Otherwise one leading '\', ':' or '/' is skipped.
//  3. A name with a drive letter ("D:\x.prf") is copied unchanged; a name under
//     "data" is appended to the folder that holds the data folder (see
//     findDataFolder); any other is appended to the program folder. Results
//     are cut to 259 characters.
//  4. Every backslash becomes a slash. This build produces slashes rather than
//     converting at each fopen, since every caller hands the result to a file
//     opener and the Linux one does not accept backslashes.
char *KMiscTools::makeFilePath(const char *filename) {
  builtPath[0] = 0;
  if (currentFilePath[0] == 0) initMiscTools();
  if (!filename) filename = "";

  if (isAbsolutePosixPath(filename)) {
    snprintf(builtPath, sizeof builtPath, "%s", filename);
  } else {
    if (filename[0] == '\\' || filename[0] == ':' || filename[0] == '/') ++filename;
    if (filename[0] != 0 && filename[1] == ':') {
      snprintf(builtPath, sizeof builtPath, "%s", filename);
    } else if (isDataName(filename)) {
      snprintf(builtPath, sizeof builtPath, "%s/%s", dataParent().c_str(), filename);
    } else if (strcmp(currentFilePath, "/") == 0) {
      snprintf(builtPath, sizeof builtPath, "/%s", filename);
    } else {
      snprintf(builtPath, sizeof builtPath, "%s/%s", currentFilePath, filename);
    }
  }
  for (char *p = builtPath; *p; ++p) {
    if (*p == '\\') *p = '/';
  }
  return builtPath;
}

bool KMiscTools::findDataFolder(char *lookedIn, size_t lookedInSize) {
  if (currentFilePath[0] == 0) initMiscTools();
  std::string candidates[2];
  dataParents(candidates);
  if (lookedIn && lookedInSize > 0) {
    snprintf(lookedIn, lookedInSize, "%s/data\n%s/data", candidates[0].c_str(),
             candidates[1].c_str());
  }
  return isFolder(candidates[0] + "/data") || isFolder(candidates[1] + "/data");
}

// The documents folder: $XDG_DOCUMENTS_DIR, else user-dirs.dirs, else
// $HOME/Documents; created if missing. When it cannot be used (no home, a file
// in its place, cannot be created, too long), the user's data folder
// ($XDG_DATA_HOME/pabrix, else ~/.local/share/pabrix), since an installed
// program's own folder is not writable; only when that fails too, the program
// folder followed by a separator, as makeFilePath("") gives it. The result
// stays in szPath until the next call.
char *KMiscTools::getUserFolder() {
  std::string folder;
  if (const char *env = getenv("XDG_DOCUMENTS_DIR")) folder = expandDocumentsValue(env);
  if (folder.empty()) folder = documentsFromUserDirs();
  if (folder.empty()) {
    if (const char *home = homeFolder()) folder = std::string(home) + "/Documents";
  }
  std::string data;
  if (const char *env = getenv("XDG_DATA_HOME"); env && env[0] == '/') {
    data = std::string(env) + "/pabrix";
  } else if (const char *home = homeFolder()) {
    data = std::string(home) + "/.local/share/pabrix";
  }
  static bool told = false;  // the fallback is logged once, not on every save
  for (std::string *candidate : {&folder, &data}) {
    std::string &f = *candidate;
    while (f.size() > 1 && f.back() == '/') f.pop_back();
    if (f.empty() || f.size() >= sizeof szPath || !makeFolders(f)) continue;
    if (candidate == &data && !told) {
      logTrouble("files", "the documents folder %s cannot be used; the child's work is kept in %s",
              folder.empty() ? "(none)" : folder.c_str(), f.c_str());
      told = true;
    }
    snprintf(szPath, sizeof szPath, "%s", f.c_str());
    return szPath;
  }
  szPath[0] = 0;  // so makeFilePath does not treat a stale folder as absolute
  char *fallback = makeFilePath("");
  snprintf(szPath, sizeof szPath, "%s", fallback);
  return szPath;
}

long KMiscTools::getYear() {
  time_t now = time(nullptr);
  tm local{};
  if (!localtime_r(&now, &local)) return 0;
  static const char days[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char months[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  char text[64];
  snprintf(text, sizeof text, "%.3s %.3s%3d %.2d:%.2d:%.2d %d\n", days[(local.tm_wday % 7 + 7) % 7],
           months[(local.tm_mon % 12 + 12) % 12], local.tm_mday, local.tm_hour, local.tm_min,
           local.tm_sec, local.tm_year + 1900);
  size_t len = strlen(text);
  return len >= 5 ? atol(text + len - 5) : 0;
}

void KMiscTools::initMillisecond() {
  timespec res{};
  _HighFreq = clock_getres(CLOCK_MONOTONIC, &res) == 0 ? 1 : 0;
  _unitsPerSecond = _HighFreq ? 1000000000 : 0;
}
