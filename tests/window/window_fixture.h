// Shared set-up for the OpenGL window tests under X: one window made through the
// factory, pixel read-backs from the frame being drawn and the frame presented, and
// helpers that push SDL events and wait (bounded) for SDL to see outside input.
#pragma once

#include <SDL.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "input/KInput.h"
#include "platform/sdl/KSdlWindow.h"
#include "window/KQMX.h"
#include "gl/KWindowGL.h"

struct Rgba {
  int r, g, b, a;
};

inline Rgba readFramePixel(bool front, int x, int yTop, int frameHeight = 480) {
  uint8_t p[4] = {0, 0, 0, 0};
  KWindowGL::selectReadBuffer(front);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  glReadPixels(x, frameHeight - 1 - yTop, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  KWindowGL::restoreReadBuffer();
  return Rgba{p[0], p[1], p[2], p[3]};
}

class GLWindowTest : public ::testing::Test {
protected:
  void SetUp() override {
    KInput::setSource(nullptr);
    window = static_cast<KWindowGL *>(KQMX::createKWindow(K_OPENGL, false));
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(window->createGameWindow(640, 480, -1, true, "Pabrix test"));
    hwnd = window->getWindowHandle();
    ASSERT_NE(hwnd, nullptr);
  }
  void TearDown() override {
    delete window;
    KInput::setSource(nullptr);
  }

  // Dispatches pending messages (each processEvents handles one).
  void pump(int rounds = 50) {
    for (int i = 0; i < rounds && (KNativeWindow::pumpPlatform(), hwnd->pendingMessages() > 0);
         i++)
      window->processEvents();
  }
  // Pumps until cond holds or about twenty seconds pass (outside input arrives
  // late, and much later on a loaded machine).
  template <typename F>
  bool pumpUntil(F cond) {
    for (int i = 0; i < 2000; i++) {
      pump();
      if (cond()) return true;
      SDL_Delay(10);
    }
    return cond();
  }
  Uint32 sdlId() const { return SDL_GetWindowID(kSdlWindow(hwnd)); }
  void pushWindowEvent(Uint8 event) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = sdlId();
    e.window.event = event;
    SDL_PushEvent(&e);
  }

  KWindowGL *window = nullptr;
  HWND hwnd = nullptr;
};

// Runs xdotool against the test's X display; false when it failed.
inline bool xdo(const std::string &args) {
  const std::string cmd = "xdotool " + args + " >/dev/null 2>&1";
  return std::system(cmd.c_str()) == 0;
}
