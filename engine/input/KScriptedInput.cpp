// Scripted input for tests: a list of frames consumed one per flip. Application
// thread only.
#include "input/KScriptedInput.h"

#include <algorithm>

// Left and right modifier codes answer for either side, as with the platforms.
static uint16_t genericCode(uint16_t vk) { return kGenericVirtualKey(vk); }

void KScriptedInput::push(const KScriptedFrame &frame, int count) {
  // The frame reported after the end was counted; the next one is new.
  if (_countedIndex >= _frames.size()) _countedIndex = (size_t)-1;
  for (int i = 0; i < count; i++) _frames.push_back(frame);
  if (count > 0) _finishReported = false;
}

void KScriptedInput::push(int x, int y, bool left, std::initializer_list<EKeyboardLayout> keys,
                          int count) {
  KScriptedFrame f;
  f.x = x, f.y = y, f.left = left, f.keys = keys;
  push(f, count);
}

KScriptedFrame KScriptedInput::lastPosition() const {
  KScriptedFrame f;
  if (_frames.size() > _index) {
    f.x = _frames.back().x, f.y = _frames.back().y;
  } else {
    f.x = _after.x, f.y = _after.y;
  }
  return f;
}

void KScriptedInput::click(int x, int y, int hold) {
  push(x, y, true, {}, std::max(1, hold));
  push(x, y, false);
}

void KScriptedInput::shortClick(int x, int y) {
  KScriptedFrame f;
  f.x = x, f.y = y, f.taps = 1;
  push(f);
}

void KScriptedInput::tap(EKeyboardLayout key, int hold) {
  KScriptedFrame f = lastPosition();
  f.keys = {key};
  push(f, std::max(1, hold));
  f.keys.clear();
  push(f);
}

void KScriptedInput::shortTap(std::initializer_list<EKeyboardLayout> keys) {
  KScriptedFrame f = lastPosition();
  f.keyTaps = keys;
  push(f);
}

void KScriptedInput::idle(int count) { push(lastPosition(), count); }

KScriptedFrame &KScriptedInput::current() {
  return _index < _frames.size() ? _frames[_index] : _after;
}

// A direct setter is the platform reporting new input: KInput's next question
// reads it, as after a pump.
void KScriptedInput::setPointer(int x, int y) {
  KInput::eventsPumped();
  current().x = x;
  current().y = y;
}

void KScriptedInput::setLeftButton(bool down) {
  // The held state as a platform would report it now; presses are counted only
  // from frame to frame, so a test can press and release within one frame.
  countPresses();
  KInput::eventsPumped();
  current().left = _lastLeft = down;
}

void KScriptedInput::countPresses() {
  if (_countedIndex == _index) return;
  const KScriptedFrame &f = current();
  if (f.left && !_lastLeft) _presses++;
  _presses += (unsigned long)std::max(0, f.taps);
  _lastLeft = f.left;
  auto count = [this](EKeyboardLayout k) {
    if (k >= 0 && k < K_VK_ERROR) _keyPresses[genericCode(KeyboardLayout[k].KeyCode) & 0xFF]++;
  };
  for (EKeyboardLayout k : f.keyTaps) count(k);
  for (EKeyboardLayout k : f.keys)
    if (std::find(_lastKeys.begin(), _lastKeys.end(), k) == _lastKeys.end()) count(k);
  _lastKeys = f.keys;
  _countedIndex = _index;
}

unsigned long KScriptedInput::leftButtonPresses() {
  countPresses();
  return _presses;
}

void KScriptedInput::setKey(EKeyboardLayout key, bool down) {
  KInput::eventsPumped();
  std::vector<EKeyboardLayout> &keys = current().keys;
  keys.erase(std::remove(keys.begin(), keys.end(), key), keys.end());
  if (down) keys.push_back(key);
}

void KScriptedInput::clear() {
  _frames.clear();
  _after = KScriptedFrame();
  _index = 0;
  _finishReported = false;
  _countedIndex = (size_t)-1;
  _lastLeft = false;
  _lastKeys.clear();
}

void KScriptedInput::pointerPosition(int &x, int &y) {
  x = current().x;
  y = current().y;
}

bool KScriptedInput::leftButtonDown() {
  countPresses();
  return current().left;
}

bool KScriptedInput::keyDown(uint16_t virtualKey) {
  const uint16_t wanted = genericCode(virtualKey);
  for (EKeyboardLayout k : current().keys) {
    if (k < 0 || k >= K_VK_ERROR) continue;
    if (genericCode(KeyboardLayout[k].KeyCode) == wanted) return true;
  }
  return false;
}

unsigned long KScriptedInput::keyPresses(uint16_t virtualKey) {
  countPresses();
  return _keyPresses[genericCode(virtualKey) & 0xFF];
}

void KScriptedInput::frameFlipped() {
  _flips++;
  if (_index >= _frames.size()) return;
  _index++;
  if (_index < _frames.size()) return;
  // Ran out: the pointer rests where the script left it, nothing held.
  _after = KScriptedFrame();
  _after.x = _frames.back().x;
  _after.y = _frames.back().y;
  if (!_finishReported) {
    _finishReported = true;
    if (_onFinished) _onFinished();
  }
}
