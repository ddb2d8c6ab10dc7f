// KIniReader: loads a whole file through KResource and answers [section]
// name=value look-ups by plain byte search. Any content is safe: searches are
// bounded by the loaded length, never by a terminator alone. One thread per
// reader.
#include "tools/KIniReader.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <string>

#include "tools/KResource.h"

namespace {

const char *findBytes(const char *from, const char *end, const std::string &what) {
  if (what.empty() || from >= end || size_t(end - from) < what.size()) return nullptr;
  const char *hit = std::search(from, end, what.begin(), what.end());
  return hit == end ? nullptr : hit;
}

}  // namespace

KIniReader::KIniReader() { iniFilename[0] = 0; }

KIniReader::~KIniReader() { free(memIni); }

bool KIniReader::setIni(const char *iniFile) {
  snprintf(iniFilename, sizeof iniFilename, "%s", iniFile ? iniFile : "");
  free(memIni);
  memIni = nullptr;
  memIniLen = 0;
  if (!iniFile) return false;

  KResource res;
  if (res.open(iniFile, K_RES_READ) != K_RES_OK) return false;
  int size = 0;
  if (res.seek(K_RES_END, 0) != K_RES_OK || res.tell(size) != K_RES_OK || size <= 0) return false;
  res.seek(K_RES_BEGIN, 0);
  // One zero byte past the data; calloc so a short read leaves zeros, not
  // uninitialised bytes, in the unread tail.
  char *buf = static_cast<char *>(calloc(size_t(size) + 1, 1));
  if (!buf) return false;
  res.read(buf, unsigned(size));  // a short read is not an error here
  res.close();
  memIni = buf;
  memIniLen = size;
  return true;
}

bool KIniReader::getString(const char *section, const char *variable, char *buffer, long bufferlen) {
  if (bufferlen <= 1 || !buffer) return false;
  memset(buffer, 0, size_t(bufferlen));
  if (!memIni || memIniLen <= 0 || !section || !variable) return false;

  const char *end = memIni + memIniLen;
  char header[260];
  snprintf(header, sizeof header, "[%.255s]", section);
  const char *at = findBytes(memIni, end, header);
  if (!at) return false;

  // The name is searched from the header to the end of the data, not only in
  // that section, and may match the tail of a longer name.
  const char *name = findBytes(at, end, std::string(variable) + "=");
  if (!name) return false;
  const char *value = name + strlen(variable) + 1;
  const char *stop = static_cast<const char *>(memchr(value, '\r', size_t(end - value)));
  size_t len = size_t((stop ? stop : end) - value);
  if (len > size_t(bufferlen - 1)) len = size_t(bufferlen - 1);
  memcpy(buffer, value, len);
  buffer[len] = 0;
  return true;
}

long KIniReader::getValue(const char *section, const char *variable, long defaultValue) {
  if (!memIni) return 0;
  char text[256];
  if (!getString(section, variable, text, sizeof text)) return defaultValue;
  // strtol: leading blanks, optional sign, digits; 0 without digits; clamps
  // instead of overflowing on absurdly long numbers.
  return strtol(text, nullptr, 10);
}
