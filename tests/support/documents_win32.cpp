// kt_setDocumentsFolder for the Windows build: the "Personal" value of the
// current user's shell folders, which SHGetFolderPathA(CSIDL_PERSONAL) reads.
// Only the tests' own Wine prefix is touched.
#include <windows.h>

#include <filesystem>
#include <string>

namespace {
const char *kShellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
std::string gOriginal;
bool gHadOriginal = false;
bool gSaved = false;
}  // namespace

void kt_setDocumentsFolder(const char *path) {
  if (!gSaved) {
    char buf[1024] = {0};
    DWORD size = sizeof buf;
    if (RegGetValueA(HKEY_CURRENT_USER, kShellFolders, "Personal", RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ |
                     RRF_NOEXPAND, nullptr, buf, &size) == ERROR_SUCCESS) {
      gOriginal = buf;
      gHadOriginal = true;
    }
    gSaved = true;
  }
  if (!(path && *path) && !gHadOriginal) {
    // There was no value of the user's own: the shell's default applies again.
    RegDeleteKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Personal");
    return;
  }
  // The folder is made here first: asked to create a missing documents folder,
  // Wine links it to the Unix home instead, and a test's clean-up would then
  // reach into that home.
  std::error_code ec;
  if (path && *path) std::filesystem::create_directories(path, ec);
  const std::string value = path && *path ? std::string(path) : gOriginal;
  RegSetKeyValueA(HKEY_CURRENT_USER, kShellFolders, "Personal", REG_EXPAND_SZ, value.c_str(),
                  (DWORD)value.size() + 1);
}
