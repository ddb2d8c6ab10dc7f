// File helpers for the program's data files (see fileio.h), written once for
// every system on the platform services: what to read, where to save when the
// usual place refuses, which leftovers go. Application thread, except the
// emergency saves, which run while the application thread is stuck.
#include "app/fileio.h"

#include <set>
#include <vector>

#include "tools/KLog.h"
#include "tools/KMiscTools.h"
#include "tools/KPlatformServices.h"

namespace {

// Files whose last read failed although they exist (application thread only).
std::set<std::string> &unreadableFiles() {
  static std::set<std::string> files;
  return files;
}

bool isSeparator(char c) { return c == '/' || c == '\\'; }

std::string folderOf(const std::string &path) {
  size_t end = path.size();
  while (end > 0 && !isSeparator(path[end - 1])) end--;
  if (end == 0) return ".";
  return end == 1 ? path.substr(0, 1) : path.substr(0, end - 1);
}

std::string nameOf(const std::string &path) {
  size_t end = path.size();
  while (end > 0 && !isSeparator(path[end - 1])) end--;
  return path.substr(end);
}

std::string sameFolderForm(std::string path) {
  for (char &c : path)
    if (c == '\\') c = '/';
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

// The copy of `path` in the user's data folder, where a save goes when its
// usual place refuses it; empty when there is no such folder or `path` is in it.
std::string fallbackOf(const std::string &path) {
  const std::string data = kplatform::userDataFolder();
  if (data.empty() || sameFolderForm(folderOf(path)) == sameFolderForm(data)) return std::string();
  return data + "/" + nameOf(path);
}

// Where a followed link may create a file: the program's own folders.
std::vector<std::string> safeFolders() {
  std::vector<std::string> folders;
  if (const char *documents = KMiscTools::getUserFolder(); documents && *documents)
    folders.emplace_back(documents);
  const std::string data = kplatform::userDataFolder();
  if (!data.empty()) folders.push_back(data);
  return folders;
}

long readOne(const std::string &path, void *buffer, size_t size) {
  std::string why;
  const long got = kplatform::readRegularFile(path.c_str(), buffer, size, why);
  if (got == kplatform::kNotReadable) {
    logTrouble("files", "%s cannot be read (%s), so it is kept as it is", path.c_str(), why.c_str());
    unreadableFiles().insert(path);
    return kFileUnreadable;
  }
  unreadableFiles().erase(path);
  return got == kplatform::kNoFile ? kFileAbsent : got;
}

bool saveOne(const std::string &path, const void *data, size_t size, std::string &why) {
  if (unreadableFiles().count(path) != 0) {
    why = "it could not be read, so it is not written over";
    return false;
  }
  return kplatform::replaceFileWhole(path.c_str(), data, size, safeFolders(), why);
}

}  // namespace

long readFilePrefix(const char *path, void *buffer, size_t size) {
  if (!path || !*path) return kFileAbsent;
  // A save that went to the data folder is newer than the file it stood in for
  // (a later save in the usual place removes it; a tie goes to the data folder).
  const std::string fallback = fallbackOf(path);
  const long long fallbackTime = fallback.empty() ? -1 : kplatform::modifiedTime(fallback.c_str());
  const bool fallbackNewer = fallbackTime >= 0 && fallbackTime >= kplatform::modifiedTime(path);
  const std::string first = fallbackNewer ? fallback : std::string(path);
  const long got = readOne(first, buffer, size);
  if (got >= 0 || !fallbackNewer) return got;
  return readOne(path, buffer, size);  // the newer copy is damaged: the older one
}

bool writeFileAtomically(const char *path, const void *data, size_t size) {
  if (!path || !*path) return false;
  std::string why;
  const std::string fallback = fallbackOf(path);
  if (saveOne(path, data, size, why)) {
    // The copy an earlier failure left in the data folder is out of date now.
    if (!fallback.empty()) kplatform::removeRegularFile(fallback.c_str());
    return true;
  }
  std::string fallbackWhy = "there is no other place for it";
  if (!fallback.empty() && saveOne(fallback, data, size, fallbackWhy)) {
    logTrouble("files", "%s could not be saved (%s); it was saved as %s instead", path, why.c_str(),
               fallback.c_str());
    return true;
  }
  logTrouble("files", "%s could not be saved (%s; %s); the old file is kept", path, why.c_str(),
             fallbackWhy.c_str());
  return false;
}

std::string finalTarget(const char *path) { return kplatform::finalTarget(path); }

namespace {

// Removes the leftovers "<target>.tmp<pid>..." in `folder` whose process is gone
// and whose target's name `isOurs` accepts: only regular files, nothing else.
template <class Accept>
int removeLeftovers(const std::string &folder, Accept isOurs) {
  int removed = 0;
  for (const std::string &name : kplatform::listFolder(folder.c_str())) {
    const size_t tmp = name.rfind(".tmp");
    if (tmp == std::string::npos || tmp == 0 || !isOurs(name.substr(0, tmp))) continue;
    const long pid = kplatform::temporarySuffixProcess(name.c_str() + tmp);
    if (pid <= 0 || kplatform::processRunning(pid)) continue;
    const std::string leftover = folder + "/" + name;
    if (kplatform::removeRegularFile(leftover.c_str())) {
      logTrouble("files", "removed %s, left by a save that was interrupted", leftover.c_str());
      removed++;
    }
  }
  return removed;
}

bool endsWith(const std::string &s, const char *tail) {
  const size_t n = std::char_traits<char>::length(tail);
  return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

}  // namespace

int removeStaleTemporaries(const char *path) {
  if (!path || !*path) return 0;
  int removed = 0;
  for (const std::string &file : {finalTarget(path), fallbackOf(path)}) {
    if (file.empty()) continue;
    const std::string base = nameOf(file);
    removed += removeLeftovers(folderOf(file), [&](const std::string &target) { return target == base; });
  }
  return removed;
}

int removeStalePictureTemporaries(const char *folder) {
  if (!folder || !*folder) return 0;
  return removeLeftovers(folder, [](const std::string &target) {
    return target.compare(0, 7, "Pabrix ") == 0 && endsWith(target, ".png");
  });
}
