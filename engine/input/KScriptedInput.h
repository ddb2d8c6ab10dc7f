// A scripted input source for tests: pointer, left button and keys given frame by
// frame, advancing once per presented frame (KInput::frameFlipped). Install it with
// KInput::setSource(&script) to run whole screens in-process without a user.
// Application thread only.
#pragma once

#include <functional>
#include <initializer_list>
#include <vector>

#include "input/KInput.h"

struct KScriptedFrame {
  int x = 0, y = 0;                   // pointer in frame pixels
  bool left = false;                  // left button held
  int taps = 0;                       // presses begun and ended since the last frame
  std::vector<EKeyboardLayout> keys;  // keys held
  std::vector<EKeyboardLayout> keyTaps;  // keys pressed and released since the last frame
};

class KScriptedInput : public KInputSource {
public:
  // Appends a frame `count` times.
  void push(const KScriptedFrame &frame, int count = 1);
  void push(int x, int y, bool left, std::initializer_list<EKeyboardLayout> keys = {},
            int count = 1);
  // Pointer at (x, y): `hold` frames with the button down, then one with it up.
  void click(int x, int y, int hold = 1);
  // A press and release that both fall between the previous frame and this one
  // (a touchpad tap): the button is never held while a frame looks.
  void shortClick(int x, int y);
  // The key held for `hold` frames, then released; the pointer stays where it was.
  void tap(EKeyboardLayout key, int hold = 1);
  // Keys pressed and released together between the previous frame and this one.
  void shortTap(std::initializer_list<EKeyboardLayout> keys);
  // Frames without input at the last pointer position.
  void idle(int count);

  // Replaces what the current frame reports, without touching the rest; KInput's
  // next question reads it, as after a pump.
  void setPointer(int x, int y);
  void setLeftButton(bool down);
  void setKey(EKeyboardLayout key, bool down);

  // Called once when the last scripted frame has been flipped away (for example
  // to terminate the window). After the end the pointer stays put, the button is
  // up and no key is held.
  void onFinished(std::function<void()> handler) { _onFinished = std::move(handler); }
  bool finished() const { return _index >= _frames.size(); }
  size_t frameIndex() const { return _index; }
  long flips() const { return _flips; }
  bool systemPointerVisible() const { return _pointerVisible; }
  void clear();

  void pointerPosition(int &x, int &y) override;
  bool leftButtonDown() override;
  unsigned long leftButtonPresses() override;
  bool keyDown(uint16_t virtualKey) override;
  unsigned long keyPresses(uint16_t virtualKey) override;
  void setSystemPointerVisible(bool visible) override { _pointerVisible = visible; }
  void frameFlipped() override;

private:
  KScriptedFrame &current();
  void countPresses();
  KScriptedFrame lastPosition() const;

  std::vector<KScriptedFrame> _frames;
  KScriptedFrame _after;  // what is reported once the script has run out
  size_t _index = 0;
  long _flips = 0;
  bool _pointerVisible = true;
  bool _finishReported = false;
  std::function<void()> _onFinished;
  unsigned long _presses = 0;           // never goes back: KInput watches it change
  size_t _countedIndex = (size_t)-1;    // the frame whose presses are in _presses
  bool _lastLeft = false;
  std::vector<EKeyboardLayout> _lastKeys;
  unsigned long _keyPresses[256] = {};  // by generic virtual-key code
};
