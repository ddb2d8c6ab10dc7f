// Line and word scanning shared by the recipe and score parsers.
// Build-time tool code; single-threaded.
#pragma once

#include <string>
#include <vector>

namespace assetgen {

// Splits text into lines (LF or CR LF), dropping comments ('#' at the start of a
// line or after a blank) and surrounding blanks.
std::vector<std::string> cleanLines(const std::string &text);

// Splits a line on blanks and tabs.
std::vector<std::string> words(const std::string &line);

// Whole-string number parses; false on trailing garbage, NaN or infinity.
bool toDouble(const std::string &s, double &v);
bool toInt(const std::string &s, int &v);

}  // namespace assetgen
