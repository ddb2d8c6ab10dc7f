// Test doubles (see fakes.h), and a KQMX that makes them: test programs link
// this in place of the engine's factory.
#include "support/TestHome.h"
#include "support/portable.h"
#include "support/shell_fakes.h"


#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "window/KQMX.h"

Recorder rec;

namespace {
KQMXBackendOf<RecordingWindow, ShellGraphic> gRenderers;
}  // namespace

void Recorder::reset() {
  KQMX::setBackend(&gRenderers);
  calls.clear();
  windowCalls.clear();
  screens.clear();
  frames = 0;
  events = 0;
  quit = false;
  quiet = false;
  onEvents = nullptr;
}

std::vector<DrawCall> Recorder::find(const std::string &picture, const std::string &op,
                                     int frame) const {
  std::vector<DrawCall> out;
  for (const DrawCall &c : calls)
    if ((picture.empty() || c.picture == picture) && (op.empty() || c.op == op) &&
        (frame < 0 || c.frame == frame))
      out.push_back(c);
  return out;
}

bool Recorder::drewAt(const std::string &picture, const std::string &op, float destX,
                      float destY, int frame) const {
  for (const DrawCall &c : find(picture, op, frame))
    if (c.args.size() >= 6 && c.args[4] == destX && c.args[5] == destY) return true;
  return false;
}

void ScriptInput::play(std::vector<InputFrame> script) {
  frames = std::move(script);
  index = 0;
  eventsAtFrameStart = rec.events;
  // A new script starts a new moment: its first frame's button counts as held
  // already, so one-frame probes of a screen see only the held state.
  countPresses(!frames.empty() && frames[0].button);
  KInput::eventsPumped();  // KInput reads the new script afresh
}

void ScriptInput::countPresses(bool wasDown) {
  if (frames.empty() || index >= frames.size()) return;
  if (frames[index].button && !wasDown) presses++;
  presses += (unsigned long)frames[index].taps;
}

const InputFrame &ScriptInput::now() const {
  static const InputFrame none;
  if (frames.empty()) return none;
  return frames[index < frames.size() ? index : frames.size() - 1];
}

void ScriptInput::pointerPosition(int &x, int &y) {
  x = now().x;
  y = now().y;
}

bool ScriptInput::leftButtonDown() {
  if (releaseAfterEvents >= 0 && rec.events - eventsAtFrameStart >= releaseAfterEvents)
    return false;
  return now().button;
}

bool ScriptInput::keyDown(uint16_t virtualKey) {
  for (EKeyboardLayout k : now().keys)
    if (KeyboardLayout[k].KeyCode == virtualKey) return true;
  return false;
}

void ScriptInput::frameFlipped() {
  const bool wasDown = now().button;
  index++;
  countPresses(wasDown);
  eventsAtFrameStart = rec.events;
  if (index < frames.size() && frames[index].action) frames[index].action();
}

std::vector<InputFrame> withReleasedStart(std::vector<InputFrame> frames) {
  if (frames.empty() || !frames[0].button) return frames;
  InputFrame up(frames[0].x, frames[0].y, false);
  std::function<void()> first = std::move(frames[0].action);
  frames[0].action = [first] {
    rec.calls.clear();
    rec.frames = 0;
    if (first) first();
  };
  frames.insert(frames.begin(), up);
  return frames;
}

ScopedInput::ScopedInput(ScriptInput &script) { KInput::setSource(&script); }
ScopedInput::~ScopedInput() { KInput::setSource(nullptr); }

bool RecordingWindow::createGameWindow(short width, short height, short depth, bool windowed,
                                       const char *title) {
  char text[128];
  std::snprintf(text, sizeof text, "create %d %d %d %s %s", width, height, depth,
                windowed ? "windowed" : "fullscreen", title ? title : "");
  rec.windowCalls.push_back(text);
  return KNullWindow::createGameWindow(width, height, depth, windowed, title);
}

void RecordingWindow::toggleFullScreen(bool fullscreen) {
  rec.windowCalls.push_back(fullscreen ? "fullscreen 1" : "fullscreen 0");
  KNullWindow::toggleFullScreen(fullscreen);
}

void RecordingWindow::flipBackBuffer(bool, bool) {
  rec.frames++;
  if (rec.frames > 100000) {
    std::fprintf(stderr, "a hundred thousand frames: a screen never left\n");
    std::abort();
  }
  KInput::frameFlipped();
}

void RecordingWindow::processEvents() {
  rec.events++;
  if (rec.onEvents) rec.onEvents();
  KInput::eventsPumped();
  // A wait that never sees a release would spin forever: fail loudly instead.
  if (rec.events > 1000000) {
    std::fprintf(stderr, "processEvents called a million times: a wait never ended\n");
    std::abort();
  }
}

bool ShellGraphic::loadPicture(const char *filename, bool, bool) {
  std::string path = filename ? filename : "";
  size_t slash = path.find_last_of("/\\");
  name = slash == std::string::npos ? path : path.substr(slash + 1);
  auto it = rec.pictureSizes.find(name);
  if (it == rec.pictureSizes.end()) {
    width = height = 0;
    return false;
  }
  width = it->second.first;
  height = it->second.second;
  return true;
}

void ShellGraphic::log(const char *op, std::initializer_list<float> args) {
  if (rec.quiet) return;
  rec.calls.push_back(DrawCall{name, op, std::vector<float>(args), rec.frames});
}

void fakeGardenScreen() { rec.screens.push_back("garden"); }
void fakeMonsterScreen() { rec.screens.push_back("monster"); }

TempDocuments::TempDocuments() {
  // Inside the test's home; a failure throws, so no test runs on a shared folder.
  path = testhome::makeDir("documents");
  kt_setDocumentsFolder(path.c_str());
#ifndef _WIN32
  // The data-folder copies of refused saves stay inside the test's own folders.
  dataHome = testhome::makeDir("data");
  kt_setenv("XDG_DATA_HOME", dataHome.c_str(), 1);
#endif
}

TempDocuments::~TempDocuments() {
  if (path.empty()) return;
  testhome::removeTree(path);
  kt_setDocumentsFolder(nullptr);
  if (!dataHome.empty()) {
    testhome::removeTree(dataHome);
    kt_setenv("XDG_DATA_HOME", (testhome::root() + "/.local/share").c_str(), 1);
  }
}

size_t TempDocuments::entries() const {
  std::error_code ec;
  size_t n = 0;
  for (auto it = std::filesystem::directory_iterator(path, ec);
       !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
    n++;
  return n;
}

std::vector<unsigned char> readWholeFile(const std::string &path) {
  std::vector<unsigned char> out;
  FILE *f = std::fopen(path.c_str(), "rb");
  if (!f) return out;
  unsigned char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
  std::fclose(f);
  return out;
}

void writeWholeFile(const std::string &path, const std::vector<unsigned char> &bytes) {
  FILE *f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}
