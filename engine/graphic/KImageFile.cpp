// KImageCodec file reading: a whole picture file read into memory through
// KResource, so that archive members load like plain files. Any thread, one
// KResource per call.
#include "graphic/KImageCodec.h"

#include <string>

#include "tools/KResource.h"

namespace {

std::string lowered(std::string s) {
  for (char &c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

}  // namespace

bool KImageCodec::readFile(const char *path, KImage &out) {
  out = KImage();
  if (path == nullptr) return false;
  KImageFormat format = formatFromPath(path);
  if (format == K_IMAGE_NONE) return false;

  std::string given(path);
  std::string slashed(given);
  for (char &c : slashed) {
    if (c == '\\') c = '/';
  }
  std::string lower = lowered(slashed);
  const std::string *candidates[3] = {&given, &slashed, &lower};
  std::vector<uint8_t> bytes;
  bool found = false;
  for (int i = 0; i < 3 && !found; i++) {
    if (i > 0 && *candidates[i] == *candidates[i - 1]) continue;
    found = readWholeFile(candidates[i]->c_str(), bytes);
  }
  if (!found) return false;
  return decode(bytes.data(), bytes.size(), format, out);
}


bool KImageCodec::readWholeFile(const char *path, std::vector<uint8_t> &out) {
  out.clear();
  if (path == nullptr) return false;
  KResource res;
  if (res.open(path, K_RES_READ) != K_RES_OK) return false;
  int size = 0;
  if (res.seek(K_RES_END, 0) != K_RES_OK || res.tell(size) != K_RES_OK || size <= 0 ||
      static_cast<size_t>(size) > kMaxFileBytes) {
    res.close();
    return false;
  }
  if (res.seek(K_RES_BEGIN, 0) != K_RES_OK) {
    res.close();
    return false;
  }
  out.resize(static_cast<size_t>(size));
  bool ok = res.read(out.data(), static_cast<unsigned int>(size)) == K_RES_OK;
  res.close();
  if (!ok) out.clear();
  return ok;
}
