// Every test program runs in a fresh home of its own: before the first test a
// folder is made under the temporary folder, and HOME, XDG_* and WINEPREFIX
// point into it (TestHome.cpp). Without one the program refuses to run. Tests
// make their scratch folders inside it and remove only what lies inside it.
#pragma once

#include <string>

namespace testhome {

// The fresh home of this run; empty when none could be made.
const std::string &root();

// A new folder inside the home, named after `stem`. Throws when it cannot be
// made, which fails the test before it can use an empty path.
std::string makeDir(const char *stem);

// Removes a tree that lies strictly inside the home, giving back permissions
// tests took away first. Anything else is refused (a failure of the test).
void removeTree(const std::string &path);

// Whether `path`, made absolute, lies strictly inside the home.
bool inside(const std::string &path);

}  // namespace testhome
