// A fixture that runs activity code in-process: a private documents folder, the
// fake window as gameWindow, scripted input, and every process-wide table of the
// activities back at its start value. Test thread only.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "input/KScriptedInput.h"
#include "support/activity_fakes.h"

class ActivityTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;

  // Writes a file in the private folder (INI lines get CRLF ends) and returns its path.
  std::string writeFile(const std::string &name, const std::string &text);
  std::string writeIni(const std::string &name, std::initializer_list<const char *> lines);
  std::string readFile(const std::string &path);

  std::string dir;
  FakeWindow *window = nullptr;
  KScriptedInput input;
};
