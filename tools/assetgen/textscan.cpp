// Line and word scanning shared by the recipe and score parsers.
// Build-time tool code; single-threaded.
#include "textscan.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace assetgen {

std::vector<std::string> cleanLines(const std::string &text) {
  std::vector<std::string> lines;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    // A comment starts with '#' at the start of a line or after a blank; a '#'
    // right after a letter is a sharp in a score.
    for (size_t i = 0; i < line.size(); ++i) {
      if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) {
        line.erase(i);
        break;
      }
    }
    for (char &c : line) {
      if (c == '\r' || c == '\t') c = ' ';
    }
    const size_t a = line.find_first_not_of(' ');
    const size_t b = line.find_last_not_of(' ');
    lines.push_back(a == std::string::npos ? std::string() : line.substr(a, b - a + 1));
    pos = end + 1;
  }
  return lines;
}

std::vector<std::string> words(const std::string &line) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
    size_t end = pos;
    while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
    if (end > pos) out.push_back(line.substr(pos, end - pos));
    pos = end;
  }
  return out;
}

bool toDouble(const std::string &s, double &v) {
  if (s.empty()) return false;
  char *end = nullptr;
  errno = 0;
  v = std::strtod(s.c_str(), &end);
  return errno == 0 && end && *end == 0 && std::isfinite(v);
}

bool toInt(const std::string &s, int &v) {
  if (s.empty()) return false;
  char *end = nullptr;
  errno = 0;
  const long l = std::strtol(s.c_str(), &end, 10);
  if (errno != 0 || !end || *end != 0 || l < -1000000000L || l > 1000000000L) return false;
  v = static_cast<int>(l);
  return true;
}

}  // namespace assetgen
