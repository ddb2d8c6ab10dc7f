// Translation of SDL events into the window-message queues of the game windows:
// window changes, keys and typed text, pointer motion, buttons and the wheel. One
// function per kind of event. Application thread only.
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/sdl/KPosixServices.h"
#include "platform/sdl/KSdlKeys.h"
#include "platform/sdl/KSdlWindow.h"

namespace {

void post(KSdlWindow *w, unsigned int msg, unsigned int wp, long lp) {
  if (w) w->postMessage(msg, wp, lp);
}

unsigned int modifierFlags(Uint32 buttons) {
  unsigned int flags = 0;
  if (buttons & SDL_BUTTON_LMASK) flags |= MK_LBUTTON;
  if (buttons & SDL_BUTTON_RMASK) flags |= MK_RBUTTON;
  if (buttons & SDL_BUTTON_MMASK) flags |= MK_MBUTTON;
  const SDL_Keymod mods = SDL_GetModState();
  if (mods & KMOD_SHIFT) flags |= MK_SHIFT;
  if (mods & KMOD_CTRL) flags |= MK_CONTROL;
  return flags;
}

// Decodes one UTF-8 sequence; returns its length (at least 1) and the code point,
// or U+FFFD for a malformed sequence.
int decodeUtf8(const unsigned char *s, unsigned int &cp) {
  const unsigned char c = s[0];
  int len = 1;
  if (c < 0x80) {
    cp = c;
    return 1;
  } else if ((c & 0xE0) == 0xC0) {
    cp = c & 0x1F, len = 2;
  } else if ((c & 0xF0) == 0xE0) {
    cp = c & 0x0F, len = 3;
  } else if ((c & 0xF8) == 0xF0) {
    cp = c & 0x07, len = 4;
  } else {
    cp = 0xFFFD;
    return 1;
  }
  for (int i = 1; i < len; i++) {
    if ((s[i] & 0xC0) != 0x80) {
      cp = 0xFFFD;
      return i;
    }
    cp = (cp << 6) | (s[i] & 0x3F);
  }
  return len;
}

// Pointer coordinates of an event, in frame pixels. A renderer with a logical size
// has already rescaled them to that size.
void eventToFrame(KSdlWindow *w, int ex, int ey, int &fx, int &fy) {
  SDL_Renderer *r = SDL_GetRenderer(w->sdlWindow());
  int lw = 0, lh = 0;
  if (r) SDL_RenderGetLogicalSize(r, &lw, &lh);
  if (lw > 0 && lh > 0) {
    fx = ex * w->frameWidth() / lw, fy = ey * w->frameHeight() / lh;
  } else {
    w->windowToFrame(ex, ey, fx, fy);
  }
}

void translateWindowEvent(const SDL_WindowEvent &e) {
  KSdlWindow *w = KSdlWindow::fromId(e.windowID);
  if (!w) return;
  switch (e.event) {
    case SDL_WINDOWEVENT_CLOSE: post(w, WM_CLOSE, 0, 0); break;
    case SDL_WINDOWEVENT_EXPOSED:
      w->countExposure();
      post(w, WM_PAINT, 0, 0);
      break;
    case SDL_WINDOWEVENT_SHOWN: post(w, WM_SHOWWINDOW, 1, 0); break;
    case SDL_WINDOWEVENT_HIDDEN: post(w, WM_SHOWWINDOW, 0, 0); break;
    case SDL_WINDOWEVENT_MOVED: post(w, WM_MOVE, 0, makePointerLParam(e.data1, e.data2)); break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
      // SDL makes the window surface again: the picture must be shown whole.
      w->countExposure();
      post(w, WM_SIZE, SIZE_RESTORED, makePointerLParam(e.data1, e.data2));
      break;
    case SDL_WINDOWEVENT_MINIMIZED: post(w, WM_SIZE, SIZE_MINIMIZED, 0); break;
    case SDL_WINDOWEVENT_MAXIMIZED: post(w, WM_SIZE, SIZE_MAXIMIZED, 0); break;
    case SDL_WINDOWEVENT_RESTORED:
      w->countExposure();
      post(w, WM_SIZE, SIZE_RESTORED, 0);
      break;
    case SDL_WINDOWEVENT_LEAVE: post(w, WM_MOUSELEAVE, 0, 0); break;
    case SDL_WINDOWEVENT_FOCUS_GAINED: post(w, WM_ACTIVATEAPP, 1, 0); break;
    case SDL_WINDOWEVENT_FOCUS_LOST: post(w, WM_ACTIVATEAPP, 0, 0); break;
    default: break;
  }
}

// The control character a key types, which SDL's text input does not report; 0
// for other keys.
unsigned int controlCharacter(unsigned int vk) {
  switch (vk) {
    case VK_RETURN: return 13;
    case VK_BACK: return 8;
    case VK_TAB: return 9;
    case VK_ESCAPE: return 27;
    default: return 0;
  }
}

void translateKey(const SDL_KeyboardEvent &e) {
  KSdlWindow *w = KSdlWindow::fromId(e.windowID);
  if (!w) return;
  const unsigned int vk = kVirtualKeyFromSdl(e.keysym.sym, e.keysym.scancode);
  long lp = 1 | ((long)(e.keysym.scancode & 0xFF) << 16);
  if (e.type == SDL_KEYUP) {
    lp |= (1L << 30) | (long)(1UL << 31);
    post(w, WM_KEYUP, vk, (long)(int32_t)lp);
    return;
  }
  if (e.repeat) lp |= 1L << 30;
  post(w, WM_KEYDOWN, vk, (long)(int32_t)lp);
  if (const unsigned int ch = controlCharacter(vk)) post(w, WM_CHAR, ch, (long)(int32_t)lp);
}

void translateText(const SDL_TextInputEvent &e) {
  KSdlWindow *w = KSdlWindow::fromId(e.windowID);
  if (!w) return;
  const unsigned char *s = (const unsigned char *)e.text;
  const size_t n = strnlen(e.text, sizeof(e.text));
  for (size_t i = 0; i < n;) {
    unsigned int cp = 0;
    i += (size_t)decodeUtf8(s + i, cp);
    post(w, WM_CHAR, cp, 1);
  }
}

void translateMotion(const SDL_MouseMotionEvent &e) {
  KSdlWindow *w = KSdlWindow::fromId(e.windowID);
  if (!w) return;
  int fx, fy;
  eventToFrame(w, e.x, e.y, fx, fy);
  KSdlWindow::pointerOutsideFrame(fx < 0 || fy < 0 || fx >= w->frameWidth() ||
                                  fy >= w->frameHeight());
  post(w, WM_MOUSEMOVE, modifierFlags(e.state), makePointerLParam(fx, fy));
}

void translateButton(const SDL_MouseButtonEvent &e) {
  KSdlWindow *w = KSdlWindow::fromId(e.windowID);
  if (!w) return;
  const bool down = e.type == SDL_MOUSEBUTTONDOWN;
  unsigned int msg = 0;
  switch (e.button) {
    case SDL_BUTTON_LEFT: msg = down ? WM_LBUTTONDOWN : WM_LBUTTONUP; break;
    case SDL_BUTTON_RIGHT: msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP; break;
    case SDL_BUTTON_MIDDLE: msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP; break;
    default: msg = down ? WM_XBUTTONDOWN : WM_XBUTTONUP; break;
  }
  int fx, fy;
  eventToFrame(w, e.x, e.y, fx, fy);
  post(w, msg, modifierFlags(SDL_GetMouseState(nullptr, nullptr)), makePointerLParam(fx, fy));
}

// One axis of a wheel turn in WHEEL_DELTA units, from the precise value where the
// driver gives one.
int wheelDelta(float precise, int32_t notches, float sign) {
  int d = (int)std::lround(precise * sign * WHEEL_DELTA);
  if (d == 0 && notches != 0) d = (int)(notches * sign) * WHEEL_DELTA;
  return std::clamp(d, -32768, 32767);
}

void translateWheel(const SDL_MouseWheelEvent &e) {
  KSdlWindow *w = KSdlWindow::fromId(e.windowID);
  if (!w) return;
  const float sign = e.direction == SDL_MOUSEWHEEL_FLIPPED ? -1.0f : 1.0f;
  const int dy = wheelDelta(e.preciseY, e.y, sign);
  const int dx = wheelDelta(e.preciseX, e.x, sign);
  int px, py;
  w->pointerInFrame(px, py);
  const unsigned int flags = modifierFlags(SDL_GetMouseState(nullptr, nullptr));
  if (dy != 0)
    post(w, WM_MOUSEWHEEL, ((unsigned int)(uint16_t)(int16_t)dy << 16) | flags,
         makePointerLParam(px, py));
  if (dx != 0)
    post(w, WM_MOUSEHWHEEL, ((unsigned int)(uint16_t)(int16_t)dx << 16) | flags,
         makePointerLParam(px, py));
}

void translate(const SDL_Event &e, const std::deque<KNativeWindow *> &windows) {
  switch (e.type) {
    case SDL_QUIT:
      for (KNativeWindow *w : windows)
        if (!w->hidden()) w->postMessage(WM_CLOSE, 0, 0);
      break;
    case SDL_WINDOWEVENT: translateWindowEvent(e.window); break;
    case SDL_KEYDOWN:
    case SDL_KEYUP: translateKey(e.key); break;
    case SDL_TEXTINPUT: translateText(e.text); break;
    case SDL_MOUSEMOTION: translateMotion(e.motion); break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: translateButton(e.button); break;
    case SDL_MOUSEWHEEL: translateWheel(e.wheel); break;
    default: break;
  }
}

}  // namespace

void KSdlWindow::pumpEvents() {
  if (!SDL_WasInit(SDL_INIT_VIDEO)) return;
  // A second start of the program asked this one to come forward.
  if (kposix::takeShowRequest()) {
    for (KNativeWindow *w : windows()) {
      w->restore();
      w->raise();
    }
  }
  SDL_PumpEvents();
  SDL_Event events[64];
  int n = 0;
  while ((n = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0)
    for (int i = 0; i < n; i++) translate(events[i], windows());
}

void KNativeWindow::pumpPlatform() { KSdlWindow::pumpEvents(); }
