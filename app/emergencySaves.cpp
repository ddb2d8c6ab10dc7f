// The saves a stuck program makes when it is made to quit at once (fileio.h):
// the same registry whichever file helpers the build has.
#include <atomic>

#include "app/fileio.h"

static std::atomic<bool (*)()> emergencySaves[2];

void setEmergencySave(EmergencySlot slot, bool (*save)()) { emergencySaves[slot] = save; }

bool runEmergencySaves() {
  bool ok = true;
  for (auto &slot : emergencySaves)
    if (bool (*save)() = slot.load()) ok = save() && ok;
  return ok;
}
