// A headless OpenGL context for picture tests: a hidden 640 x 480 SDL window
// (offscreen driver, no X needed) with the game window's projection, y up, one
// unit per pixel. Screen coordinates in the helpers are top-left based.
#pragma once

#include <SDL.h>
#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

#include "gl/KGraphicGL.h"
#include "support/TestHome.h"

class GLTestContext {
public:
  static const int W = 640, H = 480;

  bool open() {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return fail("SDL_Init");
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    _window = SDL_CreateWindow("pictures", 0, 0, W, H, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (_window == nullptr) return fail("SDL_CreateWindow");
    _context = SDL_GL_CreateContext(_window);
    if (_context == nullptr) return fail("SDL_GL_CreateContext");
    KGraphicGL::setScreenSize(W, H, 32);
    glViewport(0, 0, W, H);
    resetView();
    return true;
  }

  void close() {
    if (_context) SDL_GL_DeleteContext(_context);
    if (_window) SDL_DestroyWindow(_window);
    _context = nullptr;
    _window = nullptr;
    SDL_Quit();
  }

  // The window's default world view, then a clear to (r, g, b).
  void resetView(float r = 0, float g = 0, float b = 0) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, W, 0, H, -100, 100);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glClearColor(r, g, b, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glColor4f(1, 1, 1, 1);
    glDisable(GL_BLEND);
  }

  // Screen pixel (x, y), y from the top, as 0xAABBGGRR.
  static uint32_t pixel(int x, int y) {
    uint8_t p[4] = {0, 0, 0, 0};
    glReadPixels(x, H - 1 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
  }
  static int red(uint32_t c) { return c & 0xFF; }
  static int green(uint32_t c) { return (c >> 8) & 0xFF; }
  static int blue(uint32_t c) { return (c >> 16) & 0xFF; }

  // The whole screen, top row first, 0xAABBGGRR per pixel.
  static std::vector<uint32_t> screen() {
    std::vector<uint32_t> rows(W * H), out(W * H);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    for (int y = 0; y < H; y++) {
      for (int x = 0; x < W; x++) out[y * W + x] = rows[(H - 1 - y) * W + x];
    }
    return out;
  }

  // Level-0 texels of the bound texture, row 0 first.
  static std::vector<uint32_t> boundTexels(int w, int h) {
    std::vector<uint32_t> t(static_cast<size_t>(w) * h);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, t.data());
    return t;
  }
  static int boundLevelParam(GLenum name) {
    GLint v = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, name, &v);
    return v;
  }
  static int boundParam(GLenum name) {
    GLint v = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, name, &v);
    return v;
  }

private:
  bool fail(const char *what) {
    std::fprintf(stderr, "%s: %s\n", what, SDL_GetError());
    return false;
  }
  SDL_Window *_window = nullptr;
  SDL_GLContext _context = nullptr;
};

// A scratch folder for picture files, removed with its files at the end.
class TempFolder {
public:
  TempFolder() : _path(testhome::makeDir("gl")) {}
  ~TempFolder() { testhome::removeTree(_path); }
  std::string file(const std::string &name) {
    std::string p = _path + "/" + name;
    _files.push_back(p);
    return p;
  }
  bool write(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0) && ok;
  }

private:
  std::string _path;
  std::vector<std::string> _files;
};
