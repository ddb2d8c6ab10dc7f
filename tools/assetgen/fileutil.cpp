// File helpers of the asset generator. Build-time tool code; single-threaded.
#include "fileutil.h"

#include <cstdio>
#include <fstream>
#include <sstream>

namespace assetgen {

bool readFile(const std::string &path, std::string &out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream ss;
  ss << in.rdbuf();
  out = ss.str();
  return !in.bad();
}

bool writeFileAtomic(const std::string &path, const void *data, size_t size, std::string &error) {
  const std::string tmp = path + ".tmp";
  FILE *f = std::fopen(tmp.c_str(), "wb");
  if (!f) {
    error = "cannot create " + tmp;
    return false;
  }
  const bool ok = std::fwrite(data, 1, size, f) == size;
  if (std::fclose(f) != 0 || !ok) {
    std::remove(tmp.c_str());
    error = "cannot write " + tmp;
    return false;
  }
  if (std::rename(tmp.c_str(), path.c_str()) != 0) {
    std::remove(tmp.c_str());
    error = "cannot rename " + tmp + " to " + path;
    return false;
  }
  return true;
}

std::string dirName(const std::string &path) {
  const size_t p = path.find_last_of('/');
  if (p == std::string::npos) return ".";
  if (p == 0) return "/";
  return path.substr(0, p);
}

static std::string escapeDep(const std::string &s) {
  std::string o;
  for (char c : s) {
    if (c == ' ' || c == '#') o += '\\';
    if (c == '$') o += '$';
    o += c;
  }
  return o;
}

bool writeDepfile(const std::string &depfile, const std::string &target,
                  const std::vector<std::string> &deps, std::string &error) {
  std::string text = escapeDep(target) + ":";
  for (const std::string &d : deps) text += " \\\n  " + escapeDep(d);
  text += "\n";
  return writeFileAtomic(depfile, text.data(), text.size(), error);
}

std::string toCrlf(const std::string &text) {
  std::string o;
  o.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      o += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      o += "\r\n";
    } else {
      o += c;
    }
  }
  return o;
}

}  // namespace assetgen
