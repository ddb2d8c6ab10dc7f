// Keeping the garden: read once per run when the garden first opens, written
// whole (crash-safe) when it closes and by the emergency save. A file that is
// not a whole garden is moved aside, never written over. Application thread
// (the emergency save runs elsewhere only while this thread is stuck).
#include <filesystem>
#include <string>
#include <system_error>

#include "activities/garden.h"
#include "activities/gardenFile.h"
#include "app/fileio.h"
#include "app/shell.h"
#include "tools/KLog.h"

namespace {

bool loaded = false;
// False while a damaged file could not be moved aside: saving would replace it.
bool mayWrite = true;

// "garden.dat.damaged", else the first free "garden.dat.damaged2" .. "9".
bool keepAside(const std::string &path) {
  std::error_code error;
  for (int n = 1; n <= 9; n++) {
    const std::string aside = path + ".damaged" + (n > 1 ? std::to_string(n) : "");
    if (std::filesystem::exists(aside, error)) continue;
    std::filesystem::rename(path, aside, error);
    if (!error) {
      logTrouble("garden", "%s is not a garden file; kept as %s, the garden starts empty",
                 path.c_str(), aside.c_str());
      return true;
    }
    break;
  }
  logTrouble("garden", "%s is not a garden file and could not be kept aside; it is left "
             "as it is and the garden is not saved", path.c_str());
  return false;
}

}  // namespace

const char *gardenFileName() { return userFilePath("garden.dat"); }

void loadGarden() {
  static unsigned char bytes[kGardenFileSize + 1];  // one more, to see a longer file
  const std::string path = gardenFileName();
  const long got = readFilePrefix(path.c_str(), bytes, sizeof bytes);
  loaded = true;
  mayWrite = true;
  if (got < 0) {  // absent: a first visit; unreadable: fileio refuses to replace it
    decodeGarden(nullptr, 0, allSeeds);
    return;
  }
  if (!decodeGarden(bytes, size_t(got), allSeeds)) mayWrite = keepAside(path);
}

void loadGardenOnce() {
  if (loaded) return;
  // A save killed half-way leaves its temporary file beside the garden file.
  removeStaleTemporaries(gardenFileName());
  loadGarden();
}

bool saveGarden() {
  if (!mayWrite) return false;
  static unsigned char image[kGardenFileSize];
  encodeGarden(allSeeds, image);
  return writeFileAtomically(gardenFileName(), image, sizeof image);
}
