// Test doubles for the activities: recording pictures, a counting window and the
// recorders of what the screens ask of the world outside. Test thread only.
#include "support/activity_fakes.h"

#include <algorithm>

#include "activities/camera.h"
#include "activities/printMonster.h"
#include "app/shell.h"
#include "window/KQMX.h"

int printMonsterCalls = 0;
int snapshotCalls = 0;
std::string lastMusic;

namespace {
KQMXBackendOf<FakeWindow, RecordingGraphic> gRenderers;

void recordPrint() { printMonsterCalls++; }
void recordMusic(const char *name) { lastMusic = name; }
const sMonsterOutput kRecorded = {recordPrint, recordedPicture};
}  // namespace

bool recordedPicture(sSnapshot &out) {
  snapshotCalls++;
  out.pixels = {0xFF0000FFu, 0xFFFFFFFFu};
  out.width = 2, out.height = 1;
  return true;
}

void installActivityDoubles() {
  KQMX::setBackend(&gRenderers);
  setMusicPlayer(recordMusic);
  setMonsterOutput(&kRecorded);
}

void removeActivityDoubles() {
  setMonsterOutput(nullptr);
  setMusicPlayer(nullptr);
  KQMX::setBackend(nullptr);
}

int RecordingGraphic::created = 0;

std::vector<RecordingGraphic *> &RecordingGraphic::live() {
  static std::vector<RecordingGraphic *> all;
  return all;
}

RecordingGraphic::RecordingGraphic() {
  created++;
  live().push_back(this);
}

RecordingGraphic::~RecordingGraphic() {
  auto &all = live();
  all.erase(std::remove(all.begin(), all.end(), this), all.end());
}

RecordingGraphic *RecordingGraphic::find(const std::string &tail) {
  for (RecordingGraphic *g : live()) {
    if (g->file.size() >= tail.size() &&
        g->file.compare(g->file.size() - tail.size(), tail.size(), tail) == 0)
      return g;
  }
  return nullptr;
}

std::vector<Blit> RecordingGraphic::blitsOf(float x1, float y1, float x2, float y2) const {
  std::vector<Blit> out;
  for (const Blit &b : calls) {
    if (b.op != "setBlitColor" && b.sameSource(x1, y1, x2, y2)) out.push_back(b);
  }
  return out;
}

size_t RecordingGraphic::countOp(const std::string &op) const {
  return size_t(std::count_if(calls.begin(), calls.end(), [&](const Blit &b) { return b.op == op; }));
}

bool RecordingGraphic::loadPicture(const char *filename, bool, bool) {
  file = filename ? filename : "";
  return true;
}

void RecordingGraphic::blitRect(float x1, float y1, float x2, float y2, short dx, short dy, bool,
                                bool) {
  record({"blitRect", x1, y1, x2, y2, dx, dy, 0, 1, 1});
}

void RecordingGraphic::blitAlphaRect(float x1, float y1, float x2, float y2, short dx, short dy,
                                     bool, bool) {
  record({"blitAlphaRect", x1, y1, x2, y2, dx, dy, 0, 1, 1});
}

void RecordingGraphic::blitAlphaRectFx(float x1, float y1, float x2, float y2, short dx, short dy,
                                       float angle, float zoom, float blend, bool, bool) {
  record({"blitAlphaRectFx", x1, y1, x2, y2, dx, dy, angle, zoom, blend, quality});
}

void RecordingGraphic::setBlitColor(float r, float g, float b, float a) {
  // The colour goes in the rectangle fields: r, g, b, then a as blend.
  record({"setBlitColor", r, g, b, 0, 0, 0, 0, 1, a});
}
