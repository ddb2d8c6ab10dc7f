// The input source that turns a pending close request into the window's quit
// state. Every screen polls input and flips frames, so routing the input source
// through the check reaches every frame loop and every wait for a release. Both
// ways of taking close requests (closeRequest.cpp on POSIX signals,
// closeRequest_services.cpp on the platform's services) use it. Application
// thread only.
#pragma once

#include "app/closeRequest.h"
#include "input/KInput.h"

class CloseAwareSource : public KInputSource {
public:
  // Puts this source in front of the current one, once.
  void route() {
    KInputSource *current = KInput::source();
    if (current && current != this) {
      inner_ = current;
      KInput::setSource(this);
    }
  }
  // Gives the input back to the source it was in front of.
  void unroute() {
    if (KInput::source() == this) KInput::setSource(inner_);
    inner_ = nullptr;
  }

  void pointerPosition(int &x, int &y) override { inner_->pointerPosition(x, y); }
  bool leftButtonDown() override {
    pollCloseRequest();
    // A window that is closing has no button held: waits for a release end.
    return !closeRequested() && inner_->leftButtonDown();
  }
  unsigned long leftButtonPresses() override { return inner_->leftButtonPresses(); }
  bool keyDown(uint16_t virtualKey) override { return inner_->keyDown(virtualKey); }
  unsigned long keyPresses(uint16_t virtualKey) override { return inner_->keyPresses(virtualKey); }
  void setSystemPointerVisible(bool visible) override { inner_->setSystemPointerVisible(visible); }
  void frameFlipped() override {
    inner_->frameFlipped();
    pollCloseRequest();
  }

private:
  KInputSource *inner_ = nullptr;
};
