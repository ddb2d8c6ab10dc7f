// Helpers for the tools tests: a scratch folder inside the test's home removed
// on destruction, file writing, and saving/restoring environment variables.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "support/TestHome.h"
#include "support/portable.h"

// Made in the constructor (a failure throws, failing the test before its body).
class ScratchDir {
public:
  ScratchDir() : path_(testhome::makeDir("tools")) {}
  ~ScratchDir() { testhome::removeTree(path_); }
  ScratchDir(const ScratchDir &) = delete;
  ScratchDir &operator=(const ScratchDir &) = delete;

  const std::string &path() const { return path_; }
  std::string operator/(const std::string &name) const { return path_ + "/" + name; }

private:
  std::string path_;
};

inline void writeFile(const std::string &path, const std::string &bytes) {
  FILE *f = fopen(path.c_str(), "wb");
  ASSERT_NE(f, nullptr) << path;
  if (!bytes.empty()) ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
  fclose(f);
}

inline bool isDirectory(const std::string &path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

// Sets or clears an environment variable for one test, restoring it afterwards.
class EnvOverride {
public:
  EnvOverride(const char *name, const char *value) : name_(name) {
    const char *old = getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    if (value)
      kt_setenv(name, value, 1);
    else
      kt_unsetenv(name);
  }
  ~EnvOverride() {
    if (had_)
      kt_setenv(name_.c_str(), old_.c_str(), 1);
    else
      kt_unsetenv(name_.c_str());
  }
  EnvOverride(const EnvOverride &) = delete;
  EnvOverride &operator=(const EnvOverride &) = delete;

private:
  std::string name_, old_;
  bool had_ = false;
};
