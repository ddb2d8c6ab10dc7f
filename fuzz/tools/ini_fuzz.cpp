// Fuzz target for the INI reader: the input is loaded as a file (through an
// in-memory file, so no disk is touched) and looked up with names taken from it.
// Input layout: one byte for the look-up buffer length, then a section name and
// a variable name each ended by a newline, then the file content; every part
// may be missing.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

#include "tools/KIniReader.h"

namespace {

std::string takeLine(const uint8_t *&data, size_t &size) {
  const void *nl = memchr(data, '\n', size);
  size_t len = nl ? size_t(static_cast<const uint8_t *>(nl) - data) : size;
  std::string s(reinterpret_cast<const char *>(data), len);
  size_t used = nl ? len + 1 : len;
  data += used;
  size -= used;
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  long bufferlen = size > 0 ? long(data[0]) + 1 - 2 : 256;  // -1 .. 254
  if (size > 0) {
    ++data;
    --size;
  }
  std::string section = takeLine(data, size);
  std::string variable = takeLine(data, size);

  static int fd = memfd_create("fuzz.ini", 0);
  if (fd < 0) return 0;
  if (ftruncate(fd, 0) != 0) return 0;
  if (size > 0 && pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
  char path[64];
  snprintf(path, sizeof path, "/proc/self/fd/%d", fd);

  KIniReader ini;
  // Look-ups before loading must be safe too.
  ini.getValue(section.c_str(), variable.c_str(), 1);
  if (!ini.setIni(path)) return 0;

  char small[256];
  if (bufferlen > 0) {
    // The reader clears and fills the buffer exactly up to bufferlen bytes.
    std::string buf(size_t(bufferlen), '\x55');
    if (ini.getString(section.c_str(), variable.c_str(), &buf[0], bufferlen)) {
      if (strnlen(buf.c_str(), buf.size()) >= buf.size()) __builtin_trap();
    }
  } else {
    ini.getString(section.c_str(), variable.c_str(), small, bufferlen);
  }
  ini.getValue(section.c_str(), variable.c_str(), -1);
  ini.getValue("DATA", "MAXMONSTER", 0);
  return 0;
}
