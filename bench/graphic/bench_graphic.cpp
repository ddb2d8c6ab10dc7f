// Benchmark: the glow-peg board's worst frame (640 x 480 background, 672 pegs
// of 16 x 16 with alpha, logo and cat sprites, two faded/turned sprites and the
// pointer, then one pixel read back to force completion), drawn by KGraphicGL
// and, for comparison, by SDL's batched "opengl" SDL_Renderer. Each uses its
// own hidden window and GL context; no depth buffer. Process CPU time is
// measured so that the driver's own rasterising threads count.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "gl/KGraphicGL.h"
#include "graphic/KImageCodec.h"

namespace {

const int W = 640, H = 480;
const int kPegCols = 32, kPegRows = 21;

struct Art {
  int w, h;
  std::vector<uint8_t> rgba;
};

// A disc of colour with soft edges: the kind of sprite the board draws.
Art disc(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
  Art a{w, h, std::vector<uint8_t>(static_cast<size_t>(w) * h * 4)};
  for (int y = 0; y < h; y++) {
    for (int x = 0; x < w; x++) {
      float dx = (x + 0.5f - w / 2.0f) / (w / 2.0f), dy = (y + 0.5f - h / 2.0f) / (h / 2.0f);
      float d = std::sqrt(dx * dx + dy * dy);
      uint8_t *p = &a.rgba[(static_cast<size_t>(y) * w + x) * 4];
      p[0] = r, p[1] = g, p[2] = b;
      p[3] = d >= 1.0f ? 0 : static_cast<uint8_t>(255 * std::min(1.0f, (1.0f - d) * 4));
    }
  }
  return a;
}

Art background() {
  Art a{W, H, std::vector<uint8_t>(W * H * 4)};
  for (int i = 0; i < W * H; i++) {
    a.rgba[i * 4] = static_cast<uint8_t>(i % W / 3);
    a.rgba[i * 4 + 1] = static_cast<uint8_t>(i / W / 2);
    a.rgba[i * 4 + 2] = 90;
    a.rgba[i * 4 + 3] = 255;
  }
  return a;
}

// Peg sheet: ten colours side by side, as the board's picture holds them.
Art pegSheet() {
  Art a{160, 16, std::vector<uint8_t>(160 * 16 * 4)};
  for (int c = 0; c < 10; c++) {
    Art d = disc(16, 16, static_cast<uint8_t>(c * 25), static_cast<uint8_t>(255 - c * 20), 200);
    for (int y = 0; y < 16; y++) {
      std::copy(&d.rgba[y * 64], &d.rgba[y * 64 + 64], &a.rgba[(y * 160 + c * 16) * 4]);
    }
  }
  return a;
}

struct Scene {
  Art bg = background(), pegs = pegSheet(), logo = disc(256, 96, 250, 200, 40),
      cat = disc(96, 96, 120, 120, 120), pointer = disc(32, 32, 255, 255, 255);
};

Scene &scene() {
  static Scene s;
  return s;
}

// ---- KGraphicGL ----

struct GLSide {
  SDL_Window *window = nullptr;
  SDL_GLContext context = nullptr;
  KGraphicGL *bg = nullptr, *pegs = nullptr, *logo = nullptr, *cat = nullptr,
             *pointer = nullptr;
};

KGraphicGL *loadArt(const Art &a, const char *name) {
  std::string path = std::string("/tmp/pabrix-bench-") + name + ".tga";
  KImageCodec::encodeToFile(path.c_str(), K_IMAGE_TGA, a.w, a.h, 4, a.rgba.data(), a.w * 4,
                            false);
  KGraphicGL *g = new KGraphicGL();
  bool ok = g->loadPicture(path.c_str(), true, true);
  std::remove(path.c_str());
  if (!ok) {
    delete g;
    return nullptr;
  }
  return g;
}

bool openGLSide(GLSide &s) {
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  s.window = SDL_CreateWindow("kgraphicgl", 0, 0, W, H, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  if (!s.window) return false;
  s.context = SDL_GL_CreateContext(s.window);
  if (!s.context) return false;
  SDL_GL_MakeCurrent(s.window, s.context);
  KGraphicGL::setScreenSize(W, H, 32);
  Scene &sc = scene();
  s.bg = loadArt(sc.bg, "bg");
  s.pegs = loadArt(sc.pegs, "pegs");
  s.logo = loadArt(sc.logo, "logo");
  s.cat = loadArt(sc.cat, "cat");
  s.pointer = loadArt(sc.pointer, "pointer");
  return s.bg && s.pegs && s.logo && s.cat && s.pointer;
}

void closeGLSide(GLSide &s) {
  delete s.bg;
  delete s.pegs;
  delete s.logo;
  delete s.cat;
  delete s.pointer;
  if (s.context) SDL_GL_DeleteContext(s.context);
  if (s.window) SDL_DestroyWindow(s.window);
}

void BM_KGraphicGL(benchmark::State &state) {
  GLSide s;
  if (!openGLSide(s)) {
    state.SkipWithError("no OpenGL context");
    closeGLSide(s);
    return;
  }
  uint8_t px[4];
  int frame = 0;
  for (auto _ : state) {
    // The window's default world view and clear.
    glViewport(0, 0, W, H);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, W, 0, H, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glClear(GL_COLOR_BUFFER_BIT);

    s.bg->blitRect(0, 0, W, H, 0, 0, false, false);
    for (int row = 0; row < kPegRows; row++) {
      for (int col = 0; col < kPegCols; col++) {
        float sx = static_cast<float>((row * kPegCols + col) % 10 * 16);
        s.pegs->blitAlphaRect(sx, 0, sx + 16, 16, static_cast<short>(32 + col * 18),
                              static_cast<short>(60 + row * 19), false, false);
      }
    }
    s.logo->blitAlphaRect(0, 0, 256, 96, 192, 4, false, false);
    s.cat->blitAlphaRect(0, 0, 96, 96, 530, 370, false, false);
    s.cat->blitAlphaRectFx(0, 0, 96, 96, 20, 370, static_cast<float>(frame % 360), 1.2f, 0.8f,
                           false, false);
    s.logo->blitAlphaRectFx(0, 0, 256, 96, 192, 200, 0, 1.1f, 0.5f, false, false);
    s.pointer->blitAlphaRect(0, 0, 32, 32, 300, 240, false, false);
    glReadPixels(0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    benchmark::DoNotOptimize(px);
    frame++;
  }
  closeGLSide(s);
}

// ---- SDL's own OpenGL renderer ----

SDL_Texture *texture(SDL_Renderer *r, const Art &a) {
  SDL_Surface *surf = SDL_CreateRGBSurfaceWithFormatFrom(
      const_cast<uint8_t *>(a.rgba.data()), a.w, a.h, 32, a.w * 4, SDL_PIXELFORMAT_ABGR8888);
  if (!surf) return nullptr;
  SDL_Texture *t = SDL_CreateTextureFromSurface(r, surf);
  SDL_FreeSurface(surf);
  if (t) SDL_SetTextureBlendMode(t, SDL_BLENDMODE_BLEND);
  return t;
}

void BM_SDLRendererOpenGL(benchmark::State &state) {
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
  SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
  SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "0");
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
  SDL_Window *w = SDL_CreateWindow("sdl", 0, 0, W, H, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  SDL_Renderer *r = w ? SDL_CreateRenderer(w, -1, SDL_RENDERER_ACCELERATED) : nullptr;
  SDL_RendererInfo info{};
  if (!r || SDL_GetRendererInfo(r, &info) != 0 || std::string(info.name) != "opengl") {
    state.SkipWithError("no SDL opengl renderer");
    if (r) SDL_DestroyRenderer(r);
    if (w) SDL_DestroyWindow(w);
    return;
  }
  Scene &sc = scene();
  SDL_Texture *bg = texture(r, sc.bg), *pegs = texture(r, sc.pegs), *logo = texture(r, sc.logo),
              *cat = texture(r, sc.cat), *pointer = texture(r, sc.pointer);
  SDL_SetTextureBlendMode(bg, SDL_BLENDMODE_NONE);
  uint8_t px[4];
  SDL_Rect one{0, H - 1, 1, 1};
  int frame = 0;
  for (auto _ : state) {
    SDL_SetRenderDrawColor(r, 0, 0, 0, 255);
    SDL_RenderClear(r);
    SDL_RenderCopy(r, bg, nullptr, nullptr);
    for (int row = 0; row < kPegRows; row++) {
      for (int col = 0; col < kPegCols; col++) {
        SDL_Rect src{(row * kPegCols + col) % 10 * 16, 0, 16, 16};
        SDL_Rect dst{32 + col * 18, 60 + row * 19, 16, 16};
        SDL_RenderCopy(r, pegs, &src, &dst);
      }
    }
    SDL_Rect logoDst{192, 4, 256, 96}, catDst{530, 370, 96, 96};
    SDL_RenderCopy(r, logo, nullptr, &logoDst);
    SDL_RenderCopy(r, cat, nullptr, &catDst);
    SDL_Rect catFx{20 - 10, 370 - 10, 115, 115}, logoFx{192 - 13, 200 - 5, 282, 106};
    SDL_SetTextureAlphaMod(cat, 204);
    SDL_RenderCopyEx(r, cat, nullptr, &catFx, -(frame % 360), nullptr, SDL_FLIP_NONE);
    SDL_SetTextureAlphaMod(cat, 255);
    SDL_SetTextureAlphaMod(logo, 128);
    SDL_RenderCopyEx(r, logo, nullptr, &logoFx, 0, nullptr, SDL_FLIP_NONE);
    SDL_SetTextureAlphaMod(logo, 255);
    SDL_Rect ptrDst{300, 240, 32, 32};
    SDL_RenderCopy(r, pointer, nullptr, &ptrDst);
    SDL_RenderReadPixels(r, &one, SDL_PIXELFORMAT_ABGR8888, px, 4);
    benchmark::DoNotOptimize(px);
    frame++;
  }
  for (SDL_Texture *t : {bg, pegs, logo, cat, pointer}) SDL_DestroyTexture(t);
  SDL_DestroyRenderer(r);
  SDL_DestroyWindow(w);
}

BENCHMARK(BM_KGraphicGL)->MeasureProcessCPUTime()->UseRealTime()->Repetitions(9)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SDLRendererOpenGL)->MeasureProcessCPUTime()->UseRealTime()->Repetitions(9)
    ->ReportAggregatesOnly(true)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char **argv) {
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "SDL_Init: %s\n", SDL_GetError());
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  SDL_Quit();
  return 0;
}
