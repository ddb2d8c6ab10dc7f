// The fresh home every test program runs in (see TestHome.h): a GoogleTest
// environment made before the first test and removed after the last.
#include "support/TestHome.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include <gtest/gtest.h>

#include "support/portable.h"

namespace fs = std::filesystem;

namespace testhome {
namespace {

std::string gRoot;

std::string tempRoot() {
#ifdef _WIN32
  const char *t = getenv("TEMP");  // the Windows test run's prefix
#else
  const char *t = getenv("TMPDIR");
#endif
  return std::string(t && *t ? t : "/tmp");
}

std::string makeUnder(const std::string &parent, const char *stem) {
  std::string tmpl = parent + "/" + stem + "-XXXXXX";
  std::string buf(tmpl);
  if (!kt_mkdtemp(&buf[0])) return "";
  std::error_code ec;
  fs::path made = fs::canonical(buf, ec);
  return ec ? "" : made.generic_string();
}

class HomeEnvironment : public ::testing::Environment {
public:
  void SetUp() override {
    gRoot = makeUnder(tempRoot(), "pabrix-home");
    ASSERT_FALSE(gRoot.empty()) << "no fresh home could be made under " << tempRoot()
                                << ": refusing to run";
    const char *subs[][2] = {{"XDG_CONFIG_HOME", "/.config"}, {"XDG_DATA_HOME", "/.local/share"},
                             {"XDG_CACHE_HOME", "/.cache"}, {"XDG_STATE_HOME", "/.local/state"}};
    kt_setenv("HOME", gRoot.c_str(), 1);
    for (auto &s : subs) kt_setenv(s[0], (gRoot + s[1]).c_str(), 1);
    kt_unsetenv("XDG_DOCUMENTS_DIR");
#ifndef _WIN32
    kt_setenv("WINEPREFIX", (gRoot + "/wine").c_str(), 1);
#endif
  }
  void TearDown() override {
    if (!gRoot.empty()) removeTree(gRoot + "/.");
    gRoot.clear();
  }
};

[[maybe_unused]] const auto *gEnvironment = ::testing::AddGlobalTestEnvironment(new HomeEnvironment);

}  // namespace

const std::string &root() { return gRoot; }

bool inside(const std::string &path) {
  if (gRoot.empty() || path.empty()) return false;
  std::error_code ec;
  std::string p = fs::weakly_canonical(fs::absolute(path, ec), ec).generic_string();
  return !ec && p.size() > gRoot.size() + 1 && p.compare(0, gRoot.size() + 1, gRoot + "/") == 0;
}

std::string makeDir(const char *stem) {
  if (gRoot.empty()) throw std::runtime_error("no test home: refusing to make a folder");
  std::string made = makeUnder(gRoot, stem);
  if (made.empty()) throw std::runtime_error("could not make a folder in " + gRoot);
  return made;
}

void removeTree(const std::string &path) {
  // The home itself is removed as "home/." at the end of the run.
  bool whole = !gRoot.empty() && path == gRoot + "/.";
  if (!whole && !inside(path)) {
    ADD_FAILURE() << "refusing to remove " << path << ": outside the test's home " << gRoot;
    return;
  }
  const std::string target = whole ? gRoot : path;
  std::error_code ec;
  fs::permissions(target, fs::perms::owner_all, fs::perm_options::add, ec);
  for (auto it = fs::recursive_directory_iterator(target, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
    if (!it->is_symlink(ec)) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  fs::remove_all(target, ec);
  if (ec) fprintf(stderr, "could not remove %s: %s\n", target.c_str(), ec.message().c_str());
}

}  // namespace testhome
