// The default input source: pointer, left button and keys from SDL, read through
// the SDL glue for the window KInput was started on. Application thread only.
#pragma once

#include "input/KInput.h"

class KSdlInputSource : public KInputSource {
public:
  void pointerPosition(int &x, int &y) override;
  bool leftButtonDown() override;
  unsigned long leftButtonPresses() override;
  bool keyDown(uint16_t virtualKey) override;
  unsigned long keyPresses(uint16_t virtualKey) override;
  void setSystemPointerVisible(bool visible) override;
};
