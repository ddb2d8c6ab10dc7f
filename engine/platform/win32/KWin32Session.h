// What the game window's procedure hands to the close-request services
// (KPlatformServices.cpp): a close request, and the session's end. Both arrive on
// the application thread, also inside the modal loops of a message box or the
// print dialog; with no hooks installed they do nothing.
#pragma once

namespace kwin32 {

// WM_CLOSE to a visible window: the installed request hook.
void windowCloseRequest();
// WM_ENDSESSION (the session really ends): the request hook, then the save hook,
// before the procedure returns, since the system may end the process right after.
void sessionEnding();

// While it lives, the modal window this thread shows (a message box, the print
// dialog) is closed as cancelled once closeEarly answers true: a timer of the
// modal loop asks it five times a second.
class ModalCloser {
public:
  explicit ModalCloser(bool (*closeEarly)());
  ~ModalCloser();
  ModalCloser(const ModalCloser &) = delete;
  ModalCloser &operator=(const ModalCloser &) = delete;
  // Whether it closed one.
  bool closed() const;

private:
  unsigned long long _timer = 0;
};

}  // namespace kwin32
