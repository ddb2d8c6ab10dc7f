// kplatform services on Windows (tools/KPlatformServices.h): reading regular
// files only, crash-safe replacement with the link rules, the user's data folder,
// leftovers of killed saves, close requests from the console and the game window
// with the session's end, the emergency save, one program per user session, and
// thread priority. Application thread unless a function says otherwise.
#include "tools/KPlatformServices.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <mutex>
#include <string>

#include "platform/win32/KWin32.h"
#include "platform/win32/KWin32Session.h"

#include <aclapi.h>
#include <ntsecapi.h>
#include <winioctl.h>

namespace {

// ---------------------------------------------------------------------------
// Names and errors

std::string backslashed(const char *name) {
  std::string path(name ? name : "");
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::string folderOf(const std::string &path) {
  const size_t cut = path.find_last_of('\\');
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut ? cut : 1);
}

std::string leafOf(const std::string &path) {
  const size_t cut = path.find_last_of('\\');
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

bool sameIgnoringCase(const std::string &a, const std::string &b) {
  return a.size() == b.size() && _strnicmp(a.c_str(), b.c_str(), a.size()) == 0;
}

// Whether `path` is `folder` or lies below it (both final, ignoring case).
bool inside(const std::string &path, const std::string &folder) {
  if (folder.empty() || path.size() <= folder.size()) return false;
  return _strnicmp(path.c_str(), folder.c_str(), folder.size()) == 0 &&
         (path[folder.size()] == '\\' || folder.back() == '\\');
}

// The system's own words for an error, without the closing full stop and line end.
std::string errorText(DWORD code) {
  char text[256] = {0};
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                           0, text, sizeof text, nullptr);
  while (n > 0 && (text[n - 1] == '\n' || text[n - 1] == '\r' || text[n - 1] == '.' || text[n - 1] == ' '))
    text[--n] = 0;
  return n ? std::string(text) : "system error " + std::to_string(code);
}

bool missing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

// A handle that closes itself.
struct Handle {
  HANDLE h = INVALID_HANDLE_VALUE;
  explicit Handle(HANDLE handle) : h(handle) {}
  Handle(const Handle &) = delete;
  Handle &operator=(const Handle &) = delete;
  ~Handle() {
    if (ok()) CloseHandle(h);
  }
  bool ok() const { return h != INVALID_HANDLE_VALUE && h != nullptr; }
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens for reading what `path` names, following links. Backup semantics open a
// folder as well, so its kind can be told and not just "access denied".
HANDLE openToRead(const std::string &path, DWORD access = GENERIC_READ) {
  return CreateFileA(path.c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// What an open handle names: "a folder", "a device" or empty for a regular file.
std::string kindOf(HANDLE h) {
  if (GetFileType(h) != FILE_TYPE_DISK) return "a device";
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(h, &info)) return errorText(GetLastError());
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return "a folder";
  return "";
}

// The path an open handle finally names, in the plain drive form when it has one.
std::string finalPath(HANDLE h) {
  char buffer[MAX_PATH * 4] = {0};
  const DWORD n = GetFinalPathNameByHandleA(h, buffer, sizeof buffer, FILE_NAME_NORMALIZED);
  if (n == 0 || n >= sizeof buffer) return "";
  std::string path(buffer, n);
  if (path.compare(0, 4, "\\\\?\\") == 0 && path.size() > 6 && path[5] == ':') path.erase(0, 4);
  return path;
}

std::string finalPathOf(const std::string &path) {
  Handle h(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return h.ok() ? finalPath(h.h) : "";
}

// ---------------------------------------------------------------------------
// Links: Windows' own (reparse points) and, under a compatibility layer, links of
// the host system that the file system follows without saying so. Both show as a
// final path that is not the written one.

// The SIDs a file of this user is owned by: the user's own, and the owner the
// user's new files get (Administrators for an elevated administrator).
bool ownedByThisUser(HANDLE file) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd = nullptr;
  if (GetSecurityInfo(file, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr,
                      nullptr, &sd) != ERROR_SUCCESS)
    return false;
  bool mine = false;
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
    for (TOKEN_INFORMATION_CLASS kind : {TokenUser, TokenOwner}) {
      unsigned char buffer[256];
      DWORD n = 0;
      if (!GetTokenInformation(token, kind, buffer, sizeof buffer, &n)) continue;
      PSID sid = kind == TokenUser ? reinterpret_cast<TOKEN_USER *>(buffer)->User.Sid
                                   : reinterpret_cast<TOKEN_OWNER *>(buffer)->Owner;
      if (owner && EqualSid(owner, sid)) mine = true;
    }
    CloseHandle(token);
  }
  LocalFree(sd);
  return mine;
}

// The reparse data of a symbolic link or a junction (the system's layout).
struct LinkData {
  DWORD tag;
  WORD dataLength, reserved;
  WORD substituteOffset, substituteLength, printOffset, printLength;
  // A symbolic link has a flags word here (1: relative); a junction has none.
  WCHAR rest[MAXIMUM_REPARSE_DATA_BUFFER_SIZE / sizeof(WCHAR)];
};

// Where a link that points nowhere would lead: its written target, made absolute
// against the link's folder. Empty when `path` is no link of the system's.
std::string linkTarget(const std::string &path) {
  Handle h(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                       FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!h.ok()) return "";
  LinkData data{};
  DWORD got = 0;
  if (!DeviceIoControl(h.h, FSCTL_GET_REPARSE_POINT, nullptr, 0, &data, sizeof data, &got, nullptr))
    return "";
  const bool symlink = data.tag == IO_REPARSE_TAG_SYMLINK;
  if (!symlink && data.tag != IO_REPARSE_TAG_MOUNT_POINT) return "";
  const WCHAR *names = data.rest + (symlink ? 2 : 0);
  const bool relative = symlink && (data.rest[0] & 1);
  std::wstring wide(names + data.printOffset / sizeof(WCHAR), data.printLength / sizeof(WCHAR));
  if (wide.empty())
    wide.assign(names + data.substituteOffset / sizeof(WCHAR), data.substituteLength / sizeof(WCHAR));
  if (wide.compare(0, 4, L"\\??\\") == 0) wide.erase(0, 4);
  char narrow[MAX_PATH * 4] = {0};
  if (!WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr))
    return "";
  return relative ? folderOf(path) + "\\" + narrow : std::string(narrow);
}

bool insideASafeFolder(const std::string &finalFolder, const std::vector<std::string> &safeFolders) {
  for (const std::string &safe : safeFolders) {
    const std::string resolved = finalPathOf(backslashed(safe.c_str()));
    if (!resolved.empty() && (sameIgnoringCase(finalFolder, resolved) || inside(finalFolder + "\\", resolved)))
      return true;
  }
  return false;
}

// The file a save of `path` should replace, following a link only when that is
// safe; empty, with `why`, when nothing may be written.
std::string saveTarget(const std::string &path, size_t size, const std::vector<std::string> &safeFolders,
                       std::string &why) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  const bool reparse = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  Handle h(openToRead(path, FILE_READ_ATTRIBUTES | READ_CONTROL));
  if (!h.ok()) {
    const DWORD code = GetLastError();
    if (!missing(code)) return why = errorText(code), "";
    if (!reparse) return path;  // a first save
    // A link to nothing yet: created only inside a folder meant for saves.
    const std::string target = linkTarget(path);
    const std::string folder = target.empty() ? "" : finalPathOf(folderOf(target));
    if (!folder.empty() && insideASafeFolder(folder, safeFolders)) return folder + "\\" + leafOf(target);
    return why = "it is a link to a place outside the documents and data folders", "";
  }
  const std::string kind = kindOf(h.h);
  if (!kind.empty()) return why = "it is " + kind, "";
  const std::string final = finalPath(h.h);
  const std::string folder = finalPathOf(folderOf(path));
  if (!reparse && !final.empty() && !folder.empty() && sameIgnoringCase(final, folder + "\\" + leafOf(path)))
    return path;
  // A link to an existing file: only to this user's own file of this very size.
  LARGE_INTEGER length{};
  if (final.empty() || !GetFileSizeEx(h.h, &length) || (unsigned long long)length.QuadPart != size ||
      !ownedByThisUser(h.h))
    return why = "it is a link to a file that is not one of this program's", "";
  return final;
}

// ---------------------------------------------------------------------------
// Replacing a file whole

// ".tmp<process id>-<16 random hex digits>": a name nobody can plant in advance
// (the system's random source, in advapi32 as every Windows has it).
std::string temporarySuffix() {
  unsigned char random[8] = {0};
  if (!RtlGenRandom(random, sizeof random)) {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    for (unsigned i = 0; i < sizeof random; i++) random[i] ^= (unsigned char)(now.QuadPart >> (8 * i));
  }
  char hex[17] = {0};
  for (unsigned i = 0; i < sizeof random; i++) snprintf(hex + 2 * i, 3, "%02x", random[i]);
  return ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + hex;
}

// Writes the bytes to a new file of that name; never opens one that is there.
DWORD writeNewFile(const std::string &name, const void *data, size_t size) {
  HANDLE f = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD error = ERROR_SUCCESS;
  const auto *p = static_cast<const unsigned char *>(data);
  while (error == ERROR_SUCCESS && size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : (DWORD)size;
    DWORD written = 0;
    if (!WriteFile(f, p, chunk, &written, nullptr) || written == 0) error = GetLastError();
    p += written;
    size -= written;
  }
  // The data must be on the disk before the file takes the old one's place.
  if (error == ERROR_SUCCESS && !FlushFileBuffers(f)) error = GetLastError();
  if (!CloseHandle(f) && error == ERROR_SUCCESS) error = GetLastError();
  if (error != ERROR_SUCCESS) DeleteFileA(name.c_str());
  return error ? error : ERROR_SUCCESS;
}

// Puts the written temporary file in the target's place in one step: a rename
// over it (atomic on the system's file systems), written through before it
// returns. Not ReplaceFileA: refused for a moment, it can leave a backup file of
// its own beside the target.
DWORD putInPlace(const std::string &tmp, const std::string &target) {
  if (MoveFileExA(tmp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return ERROR_SUCCESS;
  return GetLastError();
}

// A file held open by another program (a synchroniser, a virus scanner) or a
// folder guarded for a moment: worth another try.
bool passing(DWORD error) {
  return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
         error == ERROR_ACCESS_DENIED;
}

DWORD replaceOnce(const std::string &target, const void *data, size_t size) {
  std::string tmp;
  DWORD error = ERROR_FILE_EXISTS;
  for (int tries = 0; tries < 4 && (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS); tries++)
    error = writeNewFile(tmp = target + temporarySuffix(), data, size);
  if (error != ERROR_SUCCESS) return error;
  error = putInPlace(tmp, target);
  if (error != ERROR_SUCCESS) DeleteFileA(tmp.c_str());
  return error;
}

// How long a passing refusal is waited out, in all.
constexpr DWORD kRetryMs = 1000, kRetryStepMs = 100;

// ---------------------------------------------------------------------------
// Close requests and the session's end

std::atomic<void (*)()> gRequest{nullptr};
std::atomic<bool (*)()> gSave{nullptr};
std::atomic<bool> gInstalled{false}, gQuitting{false};
std::mutex gSaving;  // one save at a time: a session's end and a forced quit may meet

bool runSave() {
  bool (*save)() = gSave.load();
  if (!save) return false;
  std::lock_guard<std::mutex> lock(gSaving);
  return save();
}

void runRequest() {
  if (void (*request)() = gRequest.load()) request();
}

DWORD WINAPI saveAndEnd(void *) {
  const bool saved = runSave();
  // At once: no destructors or library clean-up that a stuck thread could block.
  TerminateProcess(GetCurrentProcess(), saved ? 0 : 1);
  return 0;
}

// How long a console that is closing (or a session ending) leaves the orderly quit
// before the save is made here; the system allows about five seconds.
constexpr DWORD kOrderlyMs = 3000;

// Runs on a thread of the system's. Ctrl+C and Ctrl+Break are a close request. The
// console closing, logoff and shutdown end the process when this returns: the
// orderly quit gets its moment (it ends the process itself when done), then what
// must not be lost is saved here.
BOOL WINAPI onConsoleEvent(DWORD event) {
  runRequest();
  if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) return TRUE;
  Sleep(kOrderlyMs);
  runSave();
  return TRUE;
}

// The first copy's window, when it has one yet (it may be starting).
Win32HWND firstCopysWindow() {
  for (int tries = 0; tries < 30; tries++) {
    if (Win32HWND w = FindWindowA("Pabrix", "Pabrix")) return w;
    Sleep(100);
  }
  return nullptr;
}

}  // namespace

namespace kwin32 {

void windowCloseRequest() {
  if (gInstalled) runRequest();
}

void sessionEnding() {
  if (!gInstalled) return;
  runRequest();
  runSave();
}

}  // namespace kwin32

namespace kplatform {

// ---------------------------------------------------------------------------
// Files

// Never a device (CON, NUL, a pipe): those either block or are no file of ours.
FILE *openRegularFile(const char *name) {
  if (!name || !*name) return nullptr;
  HANDLE h = openToRead(name);
  if (h == INVALID_HANDLE_VALUE) return nullptr;
  if (!kindOf(h).empty()) {
    CloseHandle(h);
    return nullptr;
  }
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDONLY | _O_BINARY);
  if (fd < 0) {
    CloseHandle(h);
    return nullptr;
  }
  FILE *f = _fdopen(fd, "rb");
  if (!f) _close(fd);
  return f;
}

long readRegularFile(const char *path, void *buffer, size_t size, std::string &why) {
  if (!path || !*path) return why = "no name", kNoFile;
  Handle h(openToRead(backslashed(path)));
  if (!h.ok()) {
    const DWORD code = GetLastError();
    why = errorText(code);
    return missing(code) ? kNoFile : kNotReadable;
  }
  why = kindOf(h.h);
  if (!why.empty()) return why = "it is " + why, kNotReadable;
  size_t got = 0;
  auto *p = static_cast<unsigned char *>(buffer);
  while (got < size) {
    const DWORD chunk = size - got > 0x40000000u ? 0x40000000u : DWORD(size - got);
    DWORD n = 0;
    if (!ReadFile(h.h, p + got, chunk, &n, nullptr)) return why = errorText(GetLastError()), kNotReadable;
    if (n == 0) break;
    got += n;
  }
  return long(got);
}

bool replaceFileWhole(const char *name, const void *data, size_t size,
                      const std::vector<std::string> &safeFolders, std::string &why) {
  if (!name || !*name) return why = "no name", false;
  // ReplaceFileA wants the system's separators (a slash gives ERROR_DIRECTORY).
  const std::string target = saveTarget(backslashed(name), size, safeFolders, why);
  if (target.empty()) return false;
  const ULONGLONG start = GetTickCount64();
  DWORD error = replaceOnce(target, data, size);
  while (passing(error) && GetTickCount64() - start < kRetryMs) {
    Sleep(kRetryStepMs);
    error = replaceOnce(target, data, size);
  }
  if (error != ERROR_SUCCESS) why = errorText(error);
  return error == ERROR_SUCCESS;
}

std::string userDataFolder() {
  char base[MAX_PATH] = {0};
  if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr,
                              SHGFP_TYPE_CURRENT, base)) || !base[0])
    return "";
  const std::string folder = std::string(base) + "\\Pabrix";
  CreateDirectoryA(folder.c_str(), nullptr);
  const DWORD attributes = GetFileAttributesA(folder.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return "";
  return folder;
}

// In milliseconds since 1601, the system's file-time epoch.
long long modifiedTime(const char *path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!path || !GetFileAttributesExA(backslashed(path).c_str(), GetFileExInfoStandard, &data)) return -1;
  const unsigned long long ticks =
      (unsigned long long)data.ftLastWriteTime.dwHighDateTime << 32 | data.ftLastWriteTime.dwLowDateTime;
  return (long long)(ticks / 10000);
}

std::vector<std::string> listFolder(const char *folder) {
  std::vector<std::string> names;
  if (!folder || !*folder) return names;
  WIN32_FIND_DATAA found{};
  HANDLE search = FindFirstFileA((backslashed(folder) + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// _write takes an unsigned count: at most a gigabyte a call.
bool writeAll(int fd, const void *data, size_t size) {
  const auto *p = static_cast<const unsigned char *>(data);
  while (size > 0) {
    const unsigned chunk = size > 0x40000000u ? 0x40000000u : (unsigned)size;
    const int n = _write(fd, p, chunk);
    if (n <= 0) return false;
    p += n;
    size -= (size_t)n;
  }
  return true;
}

// The system follows a chain of links in one open, so its final path is the end
// of the chain; a link to nothing ends where its written target would be.
std::string finalTarget(const char *path) {
  if (!path || !*path) return "";
  const std::string name = backslashed(path);
  const DWORD attributes = GetFileAttributesA(name.c_str());
  const bool reparse = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
  const std::string final = finalPathOf(name);
  if (!final.empty()) {
    const std::string folder = finalPathOf(folderOf(name));
    if (reparse || folder.empty() || !sameIgnoringCase(final, folder + "\\" + leafOf(name))) return final;
    return path;
  }
  const std::string target = reparse ? linkTarget(name) : "";
  return target.empty() ? std::string(path) : target;
}

bool removeRegularFile(const char *path) {
  if (!path || !*path) return false;
  const std::string name = backslashed(path);
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT)))
    return false;
  {
    Handle h(openToRead(name, FILE_READ_ATTRIBUTES));
    if (!h.ok() || !kindOf(h.h).empty()) return false;
  }
  return DeleteFileA(name.c_str()) != 0;
}

// The file system itself ignores case.
std::string existingPathIgnoringCase(const std::string &path) {
  if (path.empty() || GetFileAttributesA(backslashed(path.c_str()).c_str()) == INVALID_FILE_ATTRIBUTES)
    return "";
  return path;
}

// A process of another user cannot be opened, yet it runs.
bool processRunning(long pid) {
  if (pid <= 0) return false;
  HANDLE p = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
  if (!p) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(p, &code) && code == STILL_ACTIVE;
  CloseHandle(p);
  return running;
}

// ---------------------------------------------------------------------------
// Quitting

void installCloseRequests(const CloseHooks &hooks) {
  gRequest = hooks.request;
  gSave = hooks.save;
  if (!gInstalled.exchange(true)) SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

void removeCloseRequests() {
  if (gInstalled.exchange(false)) SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  gRequest = nullptr;
  gSave = nullptr;
}

void forceQuit() {
  if (gQuitting.exchange(true)) return;
  HANDLE t = CreateThread(nullptr, 0, saveAndEnd, nullptr, 0, nullptr);
  if (t) CloseHandle(t);
  else saveAndEnd(nullptr);
}

// From the program's start, so a long-running system does not overflow a long.
long monotonicMs() {
  static const ULONGLONG start = GetTickCount64();
  return long(GetTickCount64() - start) + 1;
}

// ---------------------------------------------------------------------------
// One program per user

// The claim is a named object of the user's session, held until the process ends.
bool claimSingleInstance() {
  static HANDLE claim = nullptr;  // asking again in the same process finds it held
  if (claim) return true;
  HANDLE named = CreateMutexA(nullptr, FALSE, "Local\\Pabrix.OneCopy");
  if (!named || GetLastError() != ERROR_ALREADY_EXISTS) {
    claim = named;
    return true;
  }
  CloseHandle(named);
  if (Win32HWND first = firstCopysWindow()) {
    if (IsIconic(first)) ShowWindow(first, SW_RESTORE);
    SetForegroundWindow(first);
  }
  return false;
}

// ---------------------------------------------------------------------------
// Threads

unsigned long currentThreadId() { return GetCurrentThreadId(); }

void raiseThreadPriority(unsigned long threadId) {
  HANDLE t = OpenThread(THREAD_SET_INFORMATION | THREAD_QUERY_INFORMATION, FALSE, threadId);
  if (!t) return;
  SetThreadPriority(t, THREAD_PRIORITY_ABOVE_NORMAL);
  CloseHandle(t);
}

}  // namespace kplatform
