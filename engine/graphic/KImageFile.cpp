// KImageCodec file reading: a whole picture file read into memory through
// KResource, so that archive members load like plain files. Any thread, one
// KResource per call.
#include "graphic/KImageCodec.h"

#include "tools/KResource.h"

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
