// Shows the software device's frames in a game window. On a machine without a GPU
// (and whenever in doubt) frames go to the window's own surface (SDL's window
// framebuffer, X11 shared memory): an unscaled frame is the surface itself, a
// full-screen frame is scaled on the processor into it (bilinear, aspect kept,
// bars around). Only where the kernel reports a GPU and the renderer SDL gives is
// not a software OpenGL is the frame handed to a GPU renderer that scales it.
// Application thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/swd3d/KFrameDiff.h"
#include "platform/swd3d/SwD3D.h"

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Surface;
struct SDL_Rect;

class KSwPresenter : public SwDisplay {
public:
  // Registers itself as the display of hwnd; the path is chosen at the first frame.
  explicit KSwPresenter(HWND hwnd);
  ~KSwPresenter() override;
  KSwPresenter(const KSwPresenter &) = delete;
  KSwPresenter &operator=(const KSwPresenter &) = delete;

  void present(const void *pixels, long pitch, int width, int height, int bitsPerPixel) override;
  // Nothing to do while the window still shows that frame as it was pushed.
  void presentSame(const void *pixels, long pitch, int width, int height,
                   int bitsPerPixel) override;
  // Compares only those areas with the frame kept, when it is the last one shown.
  void presentChanged(const void *pixels, long pitch, int width, int height, int bitsPerPixel,
                      const std::vector<RECT> &areas) override;
  void waitForVerticalBlank() override;
  void clientSize(int &width, int &height) override;
  // The window surface's pixels while the frame is shown unscaled in its format
  // (or the GPU texture's, kept locked between frames); null otherwise.
  void *screenMemory(int width, int height, int bitsPerPixel, long &pitch) override;
  // The window surface keeps its pixels when shown; a GPU texture is handed over.
  bool screenMemoryKept() override { return _path == Path::Surface; }

  // Frames that changed something on the screen so far (a frame equal to the
  // one before is not handed to the window), and the window pixels they pushed.
  long framesShown() const override { return _frames; }
  long long pixelsShown() const { return _pixelsShown; }
  // Frames shown whole, without comparing, after one that changed more than half
  // the picture (busy scenes: the comparison would only add to their cost).
  static constexpr int kBusyFrames = 8;
  // Whether frames go through a GPU renderer rather than the window surface.
  bool usesGpuRenderer() const { return _renderer != nullptr; }

private:
  enum class Path { Undecided, Surface, Renderer };
  class KSdlWindow *sdl() const;
  void choosePath();
  bool tryGpuRenderer();

  // Window surface path.
  // Whether the window still shows the last frame as it was pushed.
  bool showsLastFrame(int width, int height);
  SDL_Surface *windowSurface();  // current, revoking screen memory when it changes
  void presentToSurface(const void *pixels, long pitch, int width, int height, int bits);
  // Hands the window the whole surface or the _updates rectangles.
  void push(SDL_Surface *s, bool whole);
  // Fills _areas with what of the frame must be shown; false when nothing.
  bool findChanges(const uint32_t *src, long srcPitch, int width, int height);
  // Puts area r of the frame (width x height) into the frame rectangle (x, y, w,
  // h) of the surface, scaled when the sizes differ; returns where it landed,
  // relative to the frame rectangle.
  KTileRect showArea(SDL_Surface *s, const void *src, long srcPitch, int width, int height,
                     int x, int y, int w, int h, const KTileRect &r);

  // GPU renderer path.
  bool ensureTexture(int width, int height, int bitsPerPixel);
  void releaseRenderer();
  void unlock();  // screen memory stops being valid
  void showTexture();

  HWND _hwnd;
  Path _path = Path::Undecided;

  SDL_Surface *_surface = nullptr;  // the window surface last obtained
  int _surfW = 0, _surfH = 0;
  bool _handedOut = false;        // its pixels are some surface's screen memory
  bool _wholeStale = true;        // bars or exposure: push the whole window next time
  unsigned long _exposures = 0;   // the window's count when last pushed whole
  int _lastX = -1, _lastY = -1, _lastW = -1, _lastH = -1;  // last frame rectangle
  int _frameW = 0, _frameH = 0;   // size of the frame last pushed
  std::vector<uint32_t> _converted;  // a 16-bit frame widened for the surface
  std::vector<uint32_t> _resized;    // a frame saved from a surface being replaced
  std::vector<uint32_t> _staging;    // the shown frame, for windows not in XRGB
  KFrameDiff _diff;                  // the last frame shown, to find what changed
  bool _diffCurrent = false;         // _diff holds the last frame handed to present
  std::vector<KTileRect> _hint;      // where the frame being shown can differ
  bool _hinted = false;              // _hint applies to it
  int _busyFrames = 0;
  std::vector<KTileRect> _areas;     // of the frame, to show now
  std::vector<SDL_Rect> _updates;    // of the window, to push
  long long _pixelsShown = 0;

  SDL_Renderer *_renderer = nullptr;
  SDL_Texture *_texture = nullptr;
  int _texW = 0, _texH = 0, _texBits = 0;
  void *_locked = nullptr;  // the texture's pixels while it is locked
  long _lockedPitch = 0;
  long _frames = 0;
};
