// KImageCodec file reading: a whole picture file read into memory through
// KResource, so that archive members load like plain files. Any thread, one
// KResource per call.
#include "graphic/KImageCodec.h"
#include "graphic/KPictureAhead.h"

#include <string>

#include "tools/KLog.h"
#include "tools/KPlatformServices.h"
#include "tools/KResource.h"

bool KImageCodec::readFile(const char *path, KImage &out) {
  bool ok = false;
  if (KPictureAhead::take(path, out, ok)) return ok;
  return readFileNow(path, out);
}

bool KImageCodec::readFileNow(const char *path, KImage &out) {
  out = KImage();
  if (path == nullptr) return false;
  KImageFormat format = formatFromPath(path);
  if (format == K_IMAGE_NONE) {
    logTrouble("pictures", "the picture %s is of no known type (.png, .bmp, .jpg, .tga)", path);
    return false;
  }

  std::string given(path);
  std::string slashed(given);
  for (char &c : slashed) {
    if (c == '\\') c = '/';
  }
  // Data names were written for a file system that ignores case.
  std::string resolved = kplatform::existingPathIgnoringCase(slashed);
  const std::string *candidates[3] = {&given, &slashed, &resolved};
  std::vector<uint8_t> bytes;
  bool found = false;
  for (int i = 0; i < 3 && !found; i++) {
    if (candidates[i]->empty() || (i > 0 && *candidates[i] == *candidates[i - 1])) continue;
    found = readWholeFile(candidates[i]->c_str(), bytes);
  }
  // A picture that does not load leaves a black screen and nothing else: say so.
  if (!found) {
    logTrouble("pictures", "the picture %s could not be read (missing, unreadable, empty or too large)", path);
    return false;
  }
  if (!decode(bytes.data(), bytes.size(), format, out)) {
    logTrouble("pictures", "the picture %s could not be decoded (damaged or not the format its name says)",
            path);
    return false;
  }
  return true;
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
