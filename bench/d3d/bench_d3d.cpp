// The glow-peg board's worst frame (640x480 opaque background, 672 blended 16x16
// pegs, the logo and cat sprites, two rotated, zoomed and faded sprites, the
// pointer) on the software Direct3D backend, drawn and presented headless, and
// the same scene on SDL's "software" renderer into a 640x480 surface. Prints the
// median frame time of each and their ratio after the benchmarks.
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
  std::vector<double> drawn, presented;  // microseconds per frame

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
// SDL's software renderer

struct SdlSide {
  SDL_Surface *target = nullptr;
  SDL_Renderer *r = nullptr;
  SDL_Texture *back = nullptr, *btn = nullptr, *ptr = nullptr;
  std::vector<SDL_Texture *> pegs;
  std::vector<double> drawn;

  SDL_Texture *load(const Pic &p) {
    SDL_Surface *s = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t *>(p.rgba.data()), p.w,
                                                        p.h, 32, p.w * 4, SDL_PIXELFORMAT_RGBA32);
    SDL_Texture *t = SDL_CreateTextureFromSurface(r, s);
    SDL_FreeSurface(s);
    SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
    return t;
  }

  bool open(const Scene &s) {
    target = SDL_CreateRGBSurfaceWithFormat(0, 640, 480, 32, SDL_PIXELFORMAT_ARGB8888);
    r = target ? SDL_CreateSoftwareRenderer(target) : nullptr;
    if (!r) return false;
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
    SDL_RenderPresent(r);
  }
};

Scene *gScene = nullptr;
D3DSide *gD3D = nullptr;
SdlSide *gSdl = nullptr;

// Frames are timed in this thread's processor time: on a shared, busy machine
// wall time mostly measures the other processes.
struct CpuClock {
  static double nowMicros() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e6 + double(ts.tv_nsec) / 1e3;
  }
};

void BM_D3D_DrawAndPresent(benchmark::State &state) {
  int frame = 0;
  for (auto _ : state) {
    double t0 = CpuClock::nowMicros();
    gD3D->draw(frame++);
    gD3D->window->flipBackBuffer(false, true);
    gD3D->presented.push_back(CpuClock::nowMicros() - t0);
  }
}

void BM_D3D_DrawOnly(benchmark::State &state) {
  int frame = 0;
  for (auto _ : state) {
    double t0 = CpuClock::nowMicros();
    gD3D->draw(frame++);
    gD3D->drawn.push_back(CpuClock::nowMicros() - t0);
  }
  gD3D->window->flipBackBuffer(false, true);
}

void BM_SDL_SoftwareRenderer(benchmark::State &state) {
  int frame = 0;
  for (auto _ : state) {
    double t0 = CpuClock::nowMicros();
    gSdl->draw(frame++);
    gSdl->drawn.push_back(CpuClock::nowMicros() - t0);
  }
}

// One frame of each, back to back, so that both see the same machine: the ratio
// is taken from these pairs.
struct Pairs {
  std::vector<double> ours, theirs;
} gPairs;

void BM_Interleaved_D3D_then_SDL(benchmark::State &state) {
  int frame = 0;
  for (auto _ : state) {
    double t0 = CpuClock::nowMicros();
    gD3D->draw(frame);
    gD3D->window->flipBackBuffer(false, true);
    double t1 = CpuClock::nowMicros();
    gSdl->draw(frame++);
    double t2 = CpuClock::nowMicros();
    gPairs.ours.push_back(t1 - t0);
    gPairs.theirs.push_back(t2 - t1);
  }
}

BENCHMARK(BM_D3D_DrawAndPresent)->Unit(benchmark::kMicrosecond)->MinTime(1.5);
BENCHMARK(BM_Interleaved_D3D_then_SDL)->Unit(benchmark::kMicrosecond)->MinTime(3.0);
BENCHMARK(BM_D3D_DrawOnly)->Unit(benchmark::kMicrosecond)->MinTime(1.5);
BENCHMARK(BM_SDL_SoftwareRenderer)->Unit(benchmark::kMicrosecond)->MinTime(1.5);

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char **argv) {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  KFramePacer::setEnabled(false);  // measure the work, not the display's pace
  KInput::setSource(nullptr);
  benchmark::Initialize(&argc, argv);
  Scene scene;
  D3DSide d3d;
  SdlSide sdl;
  if (!d3d.open(scene) || !sdl.open(scene)) {
    std::fprintf(stderr, "bench_d3d: cannot set up (%s)\n", SDL_GetError());
    return 1;
  }
  gScene = &scene;
  gD3D = &d3d;
  gSdl = &sdl;
  benchmark::RunSpecifiedBenchmarks();

  double ours = median(d3d.presented), drawn = median(d3d.drawn), theirs = median(sdl.drawn);
  std::printf("\nmedian processor time per frame, separate runs: software Direct3D drawn+presented "
              "%.1f us (drawn only %.1f us), SDL software renderer %.1f us\n",
              ours, drawn, theirs);
  double po = median(gPairs.ours), pt = median(gPairs.theirs);
  std::printf("median processor time per frame, interleaved over %zu frames: software Direct3D "
              "drawn+presented %.1f us, SDL software renderer %.1f us\n",
              gPairs.ours.size(), po, pt);
  if (pt > 0 && theirs > 0)
    std::printf("ratio to SDL (target <= 0.50): drawn %.2f, drawn+presented %.2f (separate runs), "
                "%.2f (interleaved)\n",
                drawn / theirs, ours / theirs, po / pt);
  return 0;
}
