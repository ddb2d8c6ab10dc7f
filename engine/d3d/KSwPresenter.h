// Shows the software device's frames in a game window: the primary surface is
// copied into an SDL streaming texture and drawn into the window's frame rectangle
// (letterboxed and scaled in full screen). Also the emulated vertical blank (a
// sleep to the display's refresh rate). Application thread only.
#pragma once

#include <cstdint>

#include "platform/swd3d/SwD3D.h"

struct SDL_Renderer;
struct SDL_Texture;

class KSwPresenter : public SwDisplay {
public:
  // Registers itself as the display of hwnd; the renderer is made at the first frame.
  explicit KSwPresenter(HWND hwnd);
  ~KSwPresenter() override;
  KSwPresenter(const KSwPresenter &) = delete;
  KSwPresenter &operator=(const KSwPresenter &) = delete;

  void present(const void *pixels, long pitch, int width, int height, int bitsPerPixel) override;
  void waitForVerticalBlank() override;
  void clientSize(int &width, int &height) override;
  // The streaming texture's own pixels, kept locked between frames.
  void *screenMemory(int width, int height, int bitsPerPixel, long &pitch) override;

  // Frames handed to the window so far.
  long framesShown() const { return _frames; }

private:
  bool ensure(int width, int height, int bitsPerPixel);
  void releaseRenderer();
  void unlock();  // screen memory stops being valid
  void show();

  HWND _hwnd;
  SDL_Renderer *_renderer = nullptr;
  SDL_Texture *_texture = nullptr;
  int _texW = 0, _texH = 0, _texBits = 0;
  bool _failed = false;  // no renderer could be made: frames are dropped
  void *_locked = nullptr;  // the texture's pixels while it is locked
  long _lockedPitch = 0;
  long _frames = 0;
};
