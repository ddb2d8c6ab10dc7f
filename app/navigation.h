// The ways around the program that every screen shares: the home button, the
// broom's undo and the clock they measure their time with. Their pictures are
// in "data\gfx\nav.tga". Application thread only.
#pragma once

#include <cstring>

class KGraphic;

// Milliseconds for the screens' timed offers (undo, the exit's question);
// KMiscTools::getMilliseconds unless a test replaces it.
extern unsigned long (*screenClock)();

// Source rectangles in nav.tga.
namespace nav {
constexpr float kHome[4] = {1, 55, 47, 101};
constexpr float kUndo[4] = {52, 54, 112, 111};  // the size of the broom's badge
constexpr float kExitGlow[4] = {120, 54, 220, 134};
constexpr int kLightSize = 24;
// Board light i, off or on.
inline void light(int i, bool on, float r[4]) {
  r[0] = float(25 * i), r[1] = on ? 26.0f : 0.0f;
  r[2] = r[0] + kLightSize, r[3] = r[1] + kLightSize;
}
}  // namespace nav

// Draws the home button with its top-left at (x, y), bigger under the pointer,
// and answers whether a press that began on it is down. The screen then leaves
// as it does on Escape.
bool homeButton(KGraphic *navPicture, short x, short y);

// What the broom cleared, offered back for a while: `T` is a plain record (a
// board, a monster) copied whole; `which` says which one was cleared.
template <class T>
class ClearUndo {
public:
  static constexpr unsigned long kOfferMs = 10000;

  void cleared(long which, const T &before) {
    _which = which;
    std::memcpy(&_before, &before, sizeof(T));
    _until = screenClock() + kOfferMs;
    _offered = true;
  }
  // True while `which` may still be brought back.
  bool offered(long which) {
    if (_offered && (which != _which || long(_until - screenClock()) <= 0)) _offered = false;
    return _offered;
  }
  // Copies the cleared record back into `into`; once only.
  void restore(T &into) {
    std::memcpy(&into, &_before, sizeof(T));
    _offered = false;
  }
  void withdraw() { _offered = false; }

private:
  T _before;
  long _which = -1;
  unsigned long _until = 0;
  bool _offered = false;
};

// Whether Ctrl+Z is held (either Control key).
bool undoKeysHeld();
