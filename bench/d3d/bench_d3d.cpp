// The glow-peg board's worst frame (640x480 opaque background, 672 blended 16x16
// pegs, the logo and cat sprites, two rotated, zoomed and faded sprites, the
// pointer) on the software Direct3D backend and on SDL's "software" renderer,
// each drawn and presented into a window of the dummy video driver: windowed
// (640x480) and full screen (the frame scaled, aspect kept, into 1920x1080).
// Frames of both sides alternate so that both see the same machine; the ratios
// printed after the benchmarks come from those pairs. Also the two bilinear
// scalers that could show a full-screen frame.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "d3d/KGraphicD3D.h"
#include "platform/swd3d/KScale.h"
#include "platform/swd3d/SwD3D.h"
#include "d3d/KWindowD3D.h"
#include "graphic/KImageCodec.h"
#include "input/KInput.h"
#include "platform/sdl/KSdlWindow.h"
#include "window/KQMX.h"

namespace {


// Straight RGBA pictures, top row first.
struct Pic {
  int w = 0, h = 0;
  std::vector<uint8_t> rgba;
  void set(int x, int y, uint8_t r, uint8_t g, uint8_t b, uint8_t a) {
    uint8_t *p = &rgba[(size_t(y) * w + x) * 4];
    p[0] = r, p[1] = g, p[2] = b, p[3] = a;
  }
};

Pic makePic(int w, int h) {
  Pic p;
  p.w = w;
  p.h = h;
  p.rgba.assign(size_t(w) * h * 4, 0);
  return p;
}

// The board background (640x480, opaque) with the logo and the cat below it, as
// the real sheet has them.
Pic background() {
  Pic p = makePic(640, 640);
  for (int y = 0; y < 640; ++y)
    for (int x = 0; x < 640; ++x) {
      bool sprite = y >= 480;
      uint8_t a = 255;
      if (sprite) {  // soft-edged blobs, transparent around them
        float cx = x < 300 ? 93.0f : 580.0f, cy = x < 300 ? 533.0f : 563.0f;
        float rx = x < 300 ? 90.0f : 58.0f, ry = x < 300 ? 38.0f : 74.0f;
        float d = std::hypot((x - cx) / rx, (y - cy) / ry);
        a = d < 0.9f ? 255 : (d < 1.0f ? uint8_t((1.0f - d) * 2550) : 0);
      }
      p.set(x, y, uint8_t(x * 255 / 640), uint8_t(y * 255 / 640), uint8_t((x ^ y) & 255), a);
    }
  return p;
}

// A glowing peg: opaque core, translucent rim, transparent corners.
Pic peg(int colour) {
  Pic p = makePic(16, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 16; ++x) {
      float d = std::hypot(x - 7.5f, y - 7.5f);
      uint8_t a = d < 5.5f ? 255 : (d < 8.0f ? uint8_t((8.0f - d) * 100) : 0);
      p.set(x, y, uint8_t(40 + colour * 21), uint8_t(250 - colour * 20), uint8_t(colour * 25), a);
    }
  return p;
}

Pic buttons() {  // the sheet the board's button comes from (60x57 at 11,110)
  Pic p = makePic(128, 256);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 128; ++x)
      p.set(x, y, 200, uint8_t(x * 2), uint8_t(y), (x >= 11 && x < 71 && y >= 110 && y < 167) ? 230 : 0);
  return p;
}

Pic pointer() {
  Pic p = makePic(32, 32);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) p.set(x, y, 255, 210, 60, x <= y ? 255 : 0);
  return p;
}

struct Scene {
  Pic back = background(), btn = buttons(), ptr = pointer();
  std::vector<Pic> pegs;
  Scene() {
    for (int i = 0; i < 10; ++i) pegs.push_back(peg(i));
  }
};

// ---------------------------------------------------------------------------
// The Direct3D backend

struct D3DSide {
  KWindowD3D *window = nullptr;
  KGraphic *back = nullptr, *btn = nullptr, *ptr = nullptr;
  std::vector<KGraphic *> pegs;

  KGraphic *load(const Pic &p, const std::string &name) {
    std::string path = std::string(P_tmpdir) + "/pabrix_bench_" + name + ".tga";
    KImageCodec::encodeToFile(path.c_str(), K_IMAGE_TGA, p.w, p.h, 4, p.rgba.data(),
                              size_t(p.w) * 4, false);
    KGraphic *g = KQMX::createKGraphic();
    if (!g->loadPicture(path.c_str(), true, true)) std::fprintf(stderr, "cannot load %s\n", path.c_str());
    std::remove(path.c_str());
    return g;
  }

  bool open(const Scene &s) {
    KWindow *w = KQMX::createKWindow(K_DIRECTX, false);
    window = static_cast<KWindowD3D *>(w);
    if (!window || !window->createGameWindow(640, 480, -1, true, "Pabrix bench")) return false;
    window->flipBackBuffer(false, true);
    back = load(s.back, "back");
    btn = load(s.btn, "buttons");
    btn->setTextureQuality(true);
    ptr = load(s.ptr, "pointer");
    for (size_t i = 0; i < s.pegs.size(); ++i) pegs.push_back(load(s.pegs[i], "peg" + std::to_string(i)));
    return true;
  }

  void draw(int frame) {
    back->blitRect(0, 0, 640, 480, 0, 0, false, false);
    for (int r = 0; r < 21; ++r)
      for (int c = 0; c < 32; ++c)
        pegs[size_t(r * 32 + c + frame) % pegs.size()]->blitAlphaRect(
            0, 0, 16, 16, short(70 + 16 * c), short(37 + 16 * r), false, false);
    back->blitAlphaRect(0, 493, 186, 574, 0, short(frame % 40), false, false);
    back->blitAlphaRect(521, 487, 639, 639, short(500 - frame % 40), 330, false, false);
    btn->setBlitColor(0, 0, 0, 0.5f);
    btn->blitAlphaRectFx(11, 110, 71, 167, 5, 423, 12.0f, 1.1f, 0.8f, false, false);
    btn->setBlitColor(1, 1, 1, 1);
    btn->blitAlphaRectFx(11, 110, 71, 167, 2, 420, -20.0f + frame % 7, 1.3f, 0.6f, false, false);
    ptr->blitAlphaRect(0, 0, 32, 32, 300, 200, false, false);
  }
};

// ---------------------------------------------------------------------------
// SDL's software renderer, on a window of its own

struct SdlSide {
  SDL_Window *window = nullptr;
  SDL_Renderer *r = nullptr;
  SDL_Texture *frame = nullptr;  // the 640x480 target a full-screen frame is drawn into
  SDL_Texture *back = nullptr, *btn = nullptr, *ptr = nullptr;
  std::vector<SDL_Texture *> pegs;

  SDL_Texture *load(const Pic &p) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t *>(p.rgba.data()), p.w,
                                                        p.h, 32, p.w * 4, SDL_PIXELFORMAT_RGBA32);
    SDL_Texture *t = SDL_CreateTextureFromSurface(r, s);
    SDL_FreeSurface(s);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    return t;
  }

  bool open(const Scene &s) {
    window = SDL_CreateWindow("SDL bench", 0, 0, 640, 480, 0);
    r = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    if (!r) return false;
    frame = SDL_CreateTexture(r, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_TARGET, 640, 480);
    if (!frame) return false;
    SDL_SetTextureScaleMode(frame, SDL_ScaleModeLinear);
    SDL_SetTextureBlendMode(frame, SDL_BLENDMODE_NONE);
    back = load(s.back);
    btn = load(s.btn);
    ptr = load(s.ptr);
    for (const Pic &p : s.pegs) pegs.push_back(load(p));
    return true;
  }

  void sprite(SDL_Texture *t, int sx, int sy, int sw, int sh, int dx, int dy) {
    SDL_Rect src = {sx, sy, sw, sh}, dst = {dx, dy, sw, sh};
    SDL_RenderCopy(r, t, &src, &dst);
  }

  // Turned counter-clockwise by `angle` and zoomed about the sprite's centre.
  void fx(SDL_Texture *t, int sx, int sy, int sw, int sh, int dx, int dy, double angle,
          double zoom, int alpha, SDL_Color tint) {
    SDL_Rect src = {sx, sy, sw, sh};
    int w = int(sw * zoom), h = int(sh * zoom);
    SDL_Rect dst = {dx + sw / 2 - w / 2, dy + sh / 2 - h / 2, w, h};
    SDL_SetTextureAlphaMod(t, Uint8(alpha));
    SDL_SetTextureColorMod(t, tint.r, tint.g, tint.b);
    SDL_RenderCopyEx(r, t, &src, &dst, -angle, nullptr, SDL_FLIP_NONE);
    SDL_SetTextureAlphaMod(t, 255);
    SDL_SetTextureColorMod(t, 255, 255, 255);
  }

  void draw(int frame) {
    SDL_SetTextureBlendMode(back, SDL_BLENDMODE_NONE);
    sprite(back, 0, 0, 640, 480, 0, 0);
    SDL_SetTextureBlendMode(back, SDL_BLENDMODE_BLEND);
    for (int row = 0; row < 21; ++row)
      for (int c = 0; c < 32; ++c)
        sprite(pegs[size_t(row * 32 + c + frame) % pegs.size()], 0, 0, 16, 16, 70 + 16 * c,
               37 + 16 * row);
    sprite(back, 0, 493, 186, 81, 0, frame % 40);
    sprite(back, 521, 487, 118, 152, 500 - frame % 40, 330);
    fx(btn, 11, 110, 60, 57, 5, 423, 12.0, 1.1, int(0.8 * 0.5 * 255), SDL_Color{0, 0, 0, 255});
    fx(btn, 11, 110, 60, 57, 2, 420, -20.0 + frame % 7, 1.3, int(0.6 * 255),
       SDL_Color{255, 255, 255, 255});
    sprite(ptr, 0, 0, 32, 32, 300, 200);
  }

  // One frame as a program would show it: into the 640x480 window directly, or
  // into the frame texture, then scaled smoothly into the letterboxed rectangle.
  void drawAndPresent(int n, bool fullScreen) {
    if (!fullScreen) {
      draw(n);
      SDL_RenderPresent(r);
      return;
    }
    SDL_SetRenderTarget(r, frame);
    draw(n);
    SDL_SetRenderTarget(r, nullptr);
    SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    SDL_RenderClear(r);
    SDL_Rect dst = {240, 0, 1440, 1080};
    SDL_RenderCopy(r, frame, nullptr, &dst);
    SDL_RenderPresent(r);
  }
};

// Frames are timed in this thread's processor time: on a shared, busy machine
// wall time mostly measures the other processes.
double nowMicros() {
  timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
}

D3DSide *gD3D = nullptr;
SdlSide *gSdl = nullptr;

// Both windows take the case's size; the D3D window then shows its frame
// letterboxed and scaled exactly as in full screen on such a display.
void windowSizes(bool fullScreen) {
  const int w = fullScreen ? 1920 : 640, h = fullScreen ? 1080 : 480;
  SDL_SetWindowSize(kSdlWindow(gD3D->window->getWindowHandle()), w, h);
  SDL_SetWindowSize(gSdl->window, w, h);
  KNativeWindow::pumpPlatform();
}

struct Case {
  const char *name;
  bool fullScreen;
  bool present;  // false: drawn only (SDL's side draws into its frame texture)
  std::vector<double> ours, theirs;
};
Case gCases[] = {{"windowed", false, true, {}, {}},
                 {"fullscreen", true, true, {}, {}},
                 {"drawn", false, false, {}, {}}};

// One frame of each, back to back; the ratio is taken from these pairs.
void BM_Interleaved(benchmark::State &state) {
  Case &c = gCases[state.range(0)];
  state.SetLabel(c.name);
  windowSizes(c.fullScreen);
  if (!c.present) SDL_SetRenderTarget(gSdl->r, gSdl->frame);
  int frame = 0;
  for (auto _ : state) {
    double t0 = nowMicros();
    gD3D->draw(frame);
    if (c.present)
      gD3D->window->flipBackBuffer(false, true);
    else
      SwFinishDrawing();  // the device records its calls until the pixels are needed
    double t1 = nowMicros();
    if (c.present)
      gSdl->drawAndPresent(frame, c.fullScreen);
    else {
      gSdl->draw(frame);
      SDL_RenderFlush(gSdl->r);  // the renderer queues its drawing until then
    }
    double t2 = nowMicros();
    ++frame;
    c.ours.push_back(t1 - t0);
    c.theirs.push_back(t2 - t1);
  }
  if (!c.present) {
    SDL_SetRenderTarget(gSdl->r, nullptr);
    gD3D->window->flipBackBuffer(false, true);
  }
}

// The two ways to scale a 640x480 frame into 1440x1080 on the processor.
struct ScaleData {
  SDL_Surface *src = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_RGB888);
  SDL_Surface *dst = SDL_CreateRGBSurfaceWithFormat(0, 1920, 1080, 32, SDL_PIXELFORMAT_RGB888);
  ScaleData() {
    auto *p = static_cast<uint32_t *>(src->pixels);
    for (int i = 0; i < 640 * 480; ++i) p[i] = uint32_t(i * 2654435761u) & 0xFFFFFF;
  }
  ~ScaleData() {
    SDL_FreeSurface(src);
    SDL_FreeSurface(dst);
  }
};

void BM_Scale_Own(benchmark::State &state) {
  ScaleData d;
  KBilinearScaler s;
  for (auto _ : state)
    s.scale(static_cast<uint32_t *>(d.src->pixels), d.src->pitch, 640, 480,
            static_cast<uint32_t *>(d.dst->pixels) + 240, d.dst->pitch, 1440, 1080);
}

void BM_Scale_SDLSoftStretchLinear(benchmark::State &state) {
  ScaleData d;
  SDL_Rect to = {240, 0, 1440, 1080};
  for (auto _ : state) SDL_SoftStretchLinear(d.src, nullptr, d.dst, &to);
}

BENCHMARK(BM_Interleaved)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMicrosecond)->MinTime(3.0);
BENCHMARK(BM_Scale_Own)->Unit(benchmark::kMicrosecond)->MinTime(1.0);
BENCHMARK(BM_Scale_SDLSoftStretchLinear)->Unit(benchmark::kMicrosecond)->MinTime(1.0);

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  KFrameClock::setEnabled(false);  // measure the work, not the display's pace
  KInput::setSource(nullptr);
  benchmark::Initialize(&argc, argv);
  Scene scene;
  D3DSide d3d;
  SdlSide sdl;
  if (!d3d.open(scene) || !sdl.open(scene)) {
    std::fprintf(stderr, "bench_d3d: cannot set up (%s)\n", SDL_GetError());
    return 1;
  }
  gD3D = &d3d;
  gSdl = &sdl;
  benchmark::RunSpecifiedBenchmarks();

  std::printf("\nmedian processor time per frame, software Direct3D / SDL software renderer, "
              "frames interleaved (target <= 0.50):\n");
  for (const Case &c : gCases) {
    if (c.ours.empty()) continue;
    const double o = median(c.ours), t = median(c.theirs);
    std::printf("ratio %s: %.1f/%.1f = %.2f (interleaved, %zu frames)\n", c.name, o, t,
                t > 0 ? o / t : 0.0, c.ours.size());
  }
  return 0;
}
