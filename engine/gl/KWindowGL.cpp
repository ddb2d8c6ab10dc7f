// KWindowGL: the OpenGL game window over the platform's window and context. The frame is drawn into a
// fixed-size framebuffer object and scaled into the window at each flip; without
// framebuffer objects it is drawn straight into the window. Application thread only.
#include "gl/KWindowGL.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

#include "gl/KGraphicGL.h"
#include "input/KInput.h"
#include "platform/KNativeWindow.h"
#include "platform/KPlatform.h"
#include "tools/KMiscTools.h"

namespace {

// Whether a driver that honours the swap interval was found.
bool gHasSwapInterval = false;
// The window whose context was made current last; frame read-backs go to it.
KWindowGL *gCurrent = nullptr;

KGraphic *makePicture() { return new KGraphicGL(); }

// Framebuffer-object entry points: the core/ARB names or the EXT ones, which take
// the same arguments and enumerants.
struct FramebufferApi {
  bool loaded = false, ok = false;
  PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
  PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
  PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
  PFNGLGENRENDERBUFFERSPROC genRenderbuffers = nullptr;
  PFNGLDELETERENDERBUFFERSPROC deleteRenderbuffers = nullptr;
  PFNGLBINDRENDERBUFFERPROC bindRenderbuffer = nullptr;
  PFNGLRENDERBUFFERSTORAGEPROC renderbufferStorage = nullptr;
  PFNGLFRAMEBUFFERRENDERBUFFERPROC framebufferRenderbuffer = nullptr;
  PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
  PFNGLBLITFRAMEBUFFERPROC blitFramebuffer = nullptr;
} fb;

bool hasExtension(const char *list, const char *name) {
  if (!list || !name || !*name) return false;
  const size_t n = strlen(name);
  for (const char *p = strstr(list, name); p; p = strstr(p + 1, name)) {
    const bool startOk = p == list || p[-1] == ' ';
    const bool endOk = p[n] == ' ' || p[n] == '\0';
    if (startOk && endOk) return true;
  }
  return false;
}

template <typename T>
bool load(T &fn, const char *core, const char *ext, bool useExt) {
  fn = reinterpret_cast<T>(KPlatform::glProcAddress(useExt ? ext : core));
  return fn != nullptr;
}

// Needs a current context; decided once per process.
void loadFramebufferApi() {
  if (fb.loaded) return;
  fb.loaded = true;
  const char *ext = (const char *)glGetString(GL_EXTENSIONS);
  const char *version = (const char *)glGetString(GL_VERSION);
  const bool core = (version && atoi(version) >= 3) || hasExtension(ext, "GL_ARB_framebuffer_object");
  const bool viaExt = !core && hasExtension(ext, "GL_EXT_framebuffer_object") &&
                      hasExtension(ext, "GL_EXT_framebuffer_blit");
  if (!core && !viaExt) return;
  const bool e = viaExt;
  fb.ok = load(fb.genFramebuffers, "glGenFramebuffers", "glGenFramebuffersEXT", e) &&
          load(fb.deleteFramebuffers, "glDeleteFramebuffers", "glDeleteFramebuffersEXT", e) &&
          load(fb.bindFramebuffer, "glBindFramebuffer", "glBindFramebufferEXT", e) &&
          load(fb.genRenderbuffers, "glGenRenderbuffers", "glGenRenderbuffersEXT", e) &&
          load(fb.deleteRenderbuffers, "glDeleteRenderbuffers", "glDeleteRenderbuffersEXT", e) &&
          load(fb.bindRenderbuffer, "glBindRenderbuffer", "glBindRenderbufferEXT", e) &&
          load(fb.renderbufferStorage, "glRenderbufferStorage", "glRenderbufferStorageEXT", e) &&
          load(fb.framebufferRenderbuffer, "glFramebufferRenderbuffer",
               "glFramebufferRenderbufferEXT", e) &&
          load(fb.checkFramebufferStatus, "glCheckFramebufferStatus",
               "glCheckFramebufferStatusEXT", e) &&
          load(fb.blitFramebuffer, "glBlitFramebuffer", "glBlitFramebufferEXT", e);
}

void copyLower(char *dst, size_t size, const char *src) {
  size_t i = 0;
  for (; src && src[i] && i + 1 < size; i++) dst[i] = (char)tolower((unsigned char)src[i]);
  dst[i] = '\0';
}

// Software renderers: the desktop's generic one and Mesa's CPU drivers. Needs a
// current context.
bool isSoftwareRenderer() {
  static char vendor[2048], renderer[2048];
  copyLower(vendor, sizeof vendor, (const char *)glGetString(GL_VENDOR));
  copyLower(renderer, sizeof renderer, (const char *)glGetString(GL_RENDERER));
  return strstr(vendor, "microsoft corporation") || strstr(renderer, "gdi generic") ||
         strstr(renderer, "llvmpipe") || strstr(renderer, "softpipe") ||
         strstr(renderer, "swrast") || strstr(renderer, "software");
}

}  // namespace

KWindowGL::KWindowGL() : KWindowGL(false) {}

KWindowGL::KWindowGL(bool use3D) : _use3d(use3D) { KMiscTools::initMillisecond(); }

KWindowGL::~KWindowGL() {
  // A capability probe must not take the pointer picture or the hidden pointer
  // away from the real window.
  if (!_silent) {
    makeCurrent();
    KInput::freeMouse();
  }
  _userCallback = nullptr;
  _qmxCallback = nullptr;
  if (!_silent) KInput::showPointer();
  if (_openGLContext) {
    makeCurrent();
    releaseFramebuffers();
    KPlatform::glDeleteContext(_hwnd, _openGLContext);
    _openGLContext = nullptr;
  }
  if (gCurrent == this) gCurrent = nullptr;
  if (KInput::_hwnd == _hwnd) KInput::_hwnd = nullptr;
  if (hasWindow()) KNativeWindow::destroy(_hwnd);
  RestoreResolution();
  _hwnd = nullptr;
  _quit = true;
}

// ---------------------------------------------------------------------------
// Creation

int KWindowGL::FillAndSelectPixelFormat(KNativeWindowOptions &options,
                                        KPixelFormatDescriptor *pfd, short depth) {
  KPixelFormatDescriptor local;
  if (!pfd) pfd = &local;
  *pfd = KPixelFormatDescriptor();
  pfd->colorBits = depth & 0xFF;
  pfd->depthBits = _use3d ? 16 : 0;
  options.opengl = true;
  options.glDoubleBuffer = pfd->doubleBuffer;
  options.glColorBits = pfd->colorBits;
  options.glDepthBits = pfd->depthBits;
  _hwnd = KNativeWindow::create(options);
  isAccelerated = true;
  if (_hwnd) return 1;
  // Without a depth buffer, which some visuals lack.
  pfd->depthBits = options.glDepthBits = 0;
  _hwnd = KNativeWindow::create(options);
  if (_hwnd) return 2;
  KMiscTools::messageBox("Could not initialize openGL", "Please install your video drivers");
  return 0;
}

bool KWindowGL::AttachOpenGLToWindow(short depth) {
  (void)depth;  // the visual was chosen when the window was made
  if (!_pixelFormatFound || !hasWindow()) {
    KMiscTools::messageBox("Could not select fixel format",
                           "OpenGl error : video drivers probably missing.");
    return false;
  }
  void *context = KPlatform::glCreateContext(_hwnd);
  if (!context) {
    KMiscTools::messageBox("Could not create openGL Context", "OpenGl error");
    return false;
  }
  if (!KPlatform::glMakeCurrent(_hwnd, context)) {
    KPlatform::glDeleteContext(_hwnd, context);
    KMiscTools::messageBox("Could not make  openGL Context", "OpenGl error");
    return false;
  }
  _openGLContext = context;
  gCurrent = this;
  return true;
}

bool KWindowGL::createGameWindow(short width, short height, short depth, bool windowed,
                                 const char *windowTitle) {
  if (hasWindow()) return false;  // one window per object
  if (!windowTitle) windowTitle = "";
  if (_silent) {
    width = height = 256;
    depth = -1;
    windowed = true;
  }
  if (width <= 0 || height <= 0) return false;
  if (!KNativeWindow::initVideo()) return false;

  _windowWidth = width;
  _windowHeight = height;
  _windowDepth = depth;
  KGraphicGL::setScreenSize(width, height, depth);

  _fullscreen = !windowed;
  if (_fullscreen)
    SwitchToResolution(width, height, depth);
  else if (depth != -1)
    SwitchToResolution(-1, -1, depth);

  KNativeWindowOptions options;
  options.title = windowTitle;
  options.width = width;
  options.height = height;
  options.fullscreen = _fullscreen;
  options.hidden = _silent;
  options.proc = GameWindowProc;
  KPixelFormatDescriptor pfd;
  _pixelFormatFound = FillAndSelectPixelFormat(options, &pfd, depth) != 0;
  if (!_pixelFormatFound) {
    // No GL visual: still open a plain window so the failure is reported in it.
    options.opengl = false;
    _hwnd = KNativeWindow::create(options);
  }
  if (!_hwnd) return false;
  _hwnd->setUserData(this);
  if (_fullscreen && !_hwnd->isFullScreen()) {
    RestoreResolution();
    fullScreenRefused();
  }

  if (!_silent) setTitle(windowTitle);
  KInput::initInput(_hwnd);
  if (!_silent) KInput::setPictureMaker(makePicture);
  const bool result = AttachOpenGLToWindow(depth);
  detectCapabilities();

  KGraphicGL::setScreenSize(width, height, depth);
  KGraphicGL::setFrameReadHooks(&KWindowGL::selectReadBuffer, &KWindowGL::restoreReadBuffer);
  KInput::initInput(_hwnd);
  KMiscTools::initMiscTools();

  if (_openGLContext) createFramebuffers();
  if (!_silent) {
    if (_openGLContext) {
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      glDisable(GL_LIGHTING);
    }
    flipBackBuffer(true, true);
  }
  if (_openGLContext && isSoftwareRenderer()) isAccelerated = false;
  _capsDetected = true;

  if (_openGLContext) glViewport(0, 0, width, height);
  setDefaultWorldView();
  return result;
}

void KWindowGL::detectCapabilities() {
  if (_openGLContext) {
    const char *ext = (const char *)glGetString(GL_EXTENSIONS);
    // The interval is the driver's to refuse (Xvfb does); then frames are paced by sleeping.
    _isWaitVBLSupported = KPlatform::glSetSwapInterval(1);
    _swapInterval = _isWaitVBLSupported ? 1 : -1;
    if (hasExtension(ext, "GL_EXT_texture_rectangle") ||
        hasExtension(ext, "GL_NV_texture_rectangle"))
      hasRectangleText = true;
  }
  getRectangleTexCap();
  if (_isWaitVBLSupported) gHasSwapInterval = true;
}

bool KWindowGL::createFramebuffers() {
  loadFramebufferApi();
  if (!fb.ok) return false;
  const int w = _windowWidth, h = _windowHeight;
  fb.genFramebuffers(1, &_fbo);
  fb.genFramebuffers(1, &_frontFbo);
  fb.genRenderbuffers(1, &_colorRb);
  fb.genRenderbuffers(1, &_frontColorRb);
  fb.bindRenderbuffer(GL_RENDERBUFFER, _colorRb);
  fb.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
  fb.bindRenderbuffer(GL_RENDERBUFFER, _frontColorRb);
  fb.renderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
  fb.bindFramebuffer(GL_FRAMEBUFFER, _frontFbo);
  fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, _frontColorRb);
  bool complete = fb.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  fb.bindFramebuffer(GL_FRAMEBUFFER, _fbo);
  fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, _colorRb);
  if (_use3d) {
    fb.genRenderbuffers(1, &_depthRb);
    fb.bindRenderbuffer(GL_RENDERBUFFER, _depthRb);
    fb.renderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, w, h);
    fb.framebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, _depthRb);
  }
  complete = complete && fb.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  fb.bindRenderbuffer(GL_RENDERBUFFER, 0);
  if (!complete) {
    releaseFramebuffers();
    return false;
  }
  // Both start black, as a fresh window does.
  GLfloat clear[4];
  glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
  glClearColor(0, 0, 0, 1);
  fb.bindFramebuffer(GL_FRAMEBUFFER, _frontFbo);
  glClear(GL_COLOR_BUFFER_BIT);
  fb.bindFramebuffer(GL_FRAMEBUFFER, _fbo);
  glClear(GL_COLOR_BUFFER_BIT);
  glClearColor(clear[0], clear[1], clear[2], clear[3]);
  glViewport(0, 0, w, h);
  return true;
}

void KWindowGL::releaseFramebuffers() {
  if (!fb.ok || !_fbo) return;
  fb.bindFramebuffer(GL_FRAMEBUFFER, 0);
  fb.deleteFramebuffers(1, &_fbo);
  fb.deleteFramebuffers(1, &_frontFbo);
  fb.deleteRenderbuffers(1, &_colorRb);
  fb.deleteRenderbuffers(1, &_frontColorRb);
  if (_depthRb) fb.deleteRenderbuffers(1, &_depthRb);
  _fbo = _frontFbo = _colorRb = _frontColorRb = _depthRb = 0;
}

// ---------------------------------------------------------------------------
// Display modes

bool KWindowGL::SwitchToResolution(short width, short height, short depth) {
  if (depth <= 0) depth = 16;
  KNativeWindow::initVideo();
  const bool sized = width > 0 && height > 0;
  KDesktopMode mode;
  dv = KDisplayMode();
  if (KNativeWindow::desktopMode(hasWindow() ? _hwnd : nullptr, mode)) {
    dv.dmBitsPerPel = mode.bitsPerPixel;
    dv.dmPelsWidth = mode.width;
    dv.dmPelsHeight = mode.height;
    dv.dmDisplayFrequency = mode.refreshHz;
  }
  // Field bits as the request names them: depth, width, height, refresh.
  dv.dmFields = sized ? 0x1 | 0x2 | 0x4 | 0x8 : 0x1 | 0x8;
  if (!sized) return true;  // the desktop keeps its own colour depth
  _displayTaken = true;
  if (hasWindow()) return _hwnd->setFullScreen(true);
  return true;  // the window is about to be made full screen
}

void KWindowGL::RestoreResolution() {
  if (!_displayTaken) return;
  _displayTaken = false;
  if (hasWindow()) _hwnd->setFullScreen(false);
}

void KWindowGL::toggleFullScreen(bool fullscreen) {
  if (fullscreen == _fullscreen) return;
  if (!hasWindow() || _silent) return;
  if (!fullscreen) {
    RestoreResolution();
    _hwnd->setFullScreen(false);
    _fullscreen = false;
  } else if (SwitchToResolution(_windowWidth, _windowHeight, _windowDepth)) {
    _fullscreen = true;
  } else {
    RestoreResolution();
    fullScreenRefused();
  }
}

// ---------------------------------------------------------------------------
// View and drawing

void KWindowGL::makeCurrent() {
  if (!_openGLContext || !hasWindow()) return;
  KPlatform::glMakeCurrent(_hwnd, _openGLContext);
  gCurrent = this;
}

void KWindowGL::bindFrame() {
  if (_fbo) fb.bindFramebuffer(GL_FRAMEBUFFER, _fbo);
}

void KWindowGL::setDefaultWorldView() { setWorldView(0, 0, 0, 1, false); }

void KWindowGL::setWorldView(float translateX, float translateY, float rotation, float zoom,
                             bool clearworld) {
  if (!_openGLContext) return;
  makeCurrent();
  bindFrame();
  const int w = _windowWidth, h = _windowHeight;
  if (!_fbo && hasWindow()) {
    // Without an off-screen frame the view itself is letterboxed in the window.
    int x, y, rw, rh;
    _hwnd->frameRect(x, y, rw, rh);
    glViewport(x, y, rw, rh);
  }
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, w, 0, h, -100, 100);
  if (clearworld) {
    glClearColor(_clearR, _clearG, _clearB, _clearA);
    glClear(GL_COLOR_BUFFER_BIT);
  }
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glTranslatef((float)(w / 2), (float)(h / 2), 0);
  glRotatef(rotation, 0, 0, 1);
  glScalef(zoom, zoom, 0);
  glTranslatef((float)-(w / 2), (float)-(h / 2), 0);
  glTranslatef(translateX, translateY, 0);
  glDisable(GL_DEPTH_TEST);
}

void KWindowGL::setClearColor(float r, float g, float b, float a) {
  _clearR = r, _clearG = g, _clearB = b, _clearA = a;
}

void KWindowGL::doGammaAdjustment() {
  if (!_openGLContext) return;
  setDefaultWorldView();
  float alpha = 1.0f - _gamma;
  if (alpha < 0) alpha = 0;
  const int w = _windowWidth, h = _windowHeight;
  glDisable(GL_TEXTURE_2D);
  if (hasRectangleText) glDisable(GL_TEXTURE_RECTANGLE_ARB);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(0, 0, 0, alpha);
  glBegin(GL_QUADS);
  glVertex3i(0, h, 0);
  glVertex3i(w, h, 0);
  glVertex3i(w, 0, 0);
  glVertex3i(0, 0, 0);
  glEnd();
  glDisable(GL_BLEND);
  glColor4f(1, 1, 1, 1);
}

void KWindowGL::waitForVerticalBlank(bool onTime) {
  if (!hasWindow() || !_isWaitVBLSupported || !gHasSwapInterval || !_openGLContext) return;
  // The swap waits for the blank only while frames are on time: a display slower
  // than the frame clock must not slow the game.
  const int interval = onTime ? 1 : 0;
  if (_swapInterval != interval) {
    KPlatform::glSetSwapInterval(interval);
    _swapInterval = interval;
  }
}

void KWindowGL::present() {
  if (!_openGLContext) return;
  if (_fbo) {
    const int w = _windowWidth, h = _windowHeight;
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    // Keep what is presented for front-buffer reads.
    fb.bindFramebuffer(GL_READ_FRAMEBUFFER, _fbo);
    fb.bindFramebuffer(GL_DRAW_FRAMEBUFFER, _frontFbo);
    fb.blitFramebuffer(0, 0, w, h, 0, 0, w, h, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    fb.bindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    int x = 0, y = 0, rw = w, rh = h, dw = w, dh = h;
    if (hasWindow()) {
      _hwnd->frameRect(x, y, rw, rh);
      _hwnd->drawableSize(dw, dh);
    }
    if (rw != dw || rh != dh) {
      GLfloat clear[4];
      glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);  // the bars
      glClearColor(clear[0], clear[1], clear[2], clear[3]);
    }
    // GL rows go upward; the rectangle is centred, so only its height matters.
    const int gy = dh - y - rh;
    fb.blitFramebuffer(0, 0, w, h, x, gy, x + rw, gy + rh, GL_COLOR_BUFFER_BIT,
                       rw == w && rh == h ? GL_NEAREST : GL_LINEAR);
    KPlatform::glSwapBuffers(_hwnd);
    fb.bindFramebuffer(GL_FRAMEBUFFER, _fbo);
    if (scissor) glEnable(GL_SCISSOR_TEST);
  } else {
    KPlatform::glSwapBuffers(_hwnd);
  }
}

void KWindowGL::flipBackBuffer(bool waitForBackWindow, bool restoreView) {
  if (!hasWindow()) return;
  makeCurrent();
  if (_displayQMXMouse && _openGLContext) {
    setDefaultWorldView();
    KInput::displayMouse();
  }
  if (_gamma < 1.0f) doGammaAdjustment();
  waitForVerticalBlank(paceFrame());
  present();
  KInput::frameFlipped();
  if (restoreView) setDefaultWorldView();
  processEvents();
  if (!hasWindow()) return;
  // A paint inside the wait presents again but does not start a wait of its own.
  if (waitForBackWindow) waitWhileInBackground();
}

// ---------------------------------------------------------------------------
// Small operations

void KWindowGL::terminate() {
  _quit = true;
  if (hasWindow()) _hwnd->postMessage(WM_QUIT, 0, 0);
}

void KWindowGL::setMaxFrameRate(long desiredFrameRate) {
  setFrameCap(desiredFrameRate);
  if (desiredFrameRate < 0 && _isWaitVBLSupported && gHasSwapInterval && _openGLContext) {
    makeCurrent();
    KPlatform::glSetSwapInterval(0);
    _swapInterval = 0;
  }
}

bool KWindowGL::getRectangleTexCap() {
  KGraphicGL::setRectangleTexSupport(hasRectangleText);
  return hasRectangleText;
}

bool KWindowGL::getAccelerationCap() {
  if (!_capsDetected) {
    // The probe makes its own window and context; put back what it disturbs.
    const KPlatform::GLCurrent old = KPlatform::glCurrent();
    KWindowGL *savedCurrent = gCurrent;
    HWND inputWindow = KInput::_hwnd;
    const short sw = KGraphicGL::screenWidth, sh = KGraphicGL::screenHeight;
    const short sd = KGraphicGL::screenDepth;

    KWindowGL *probe = new KWindowGL();
    probe->_silent = true;
    probe->createGameWindow(640, 480, 16, true, "Pabrix engine probe");
    isAccelerated = probe->isAccelerated;
    delete probe;

    KPlatform::glRestoreCurrent(old);
    gCurrent = savedCurrent;
    KInput::_hwnd = inputWindow;
    if (sw > 0 && sh > 0) KGraphicGL::setScreenSize(sw, sh, sd);
  }
  _quit = false;
  return isAccelerated;
}

void KWindowGL::setRectangleTexCap(bool forceRectangleCap) { hasRectangleText = forceRectangleCap; }

void KWindowGL::setGamma(float gammai) { _gamma = gammai; }

void KWindowGL::selectReadBuffer(bool front) {
  KWindowGL *w = gCurrent;
  if (!w || !w->_openGLContext) return;
  if (w->_fbo)
    fb.bindFramebuffer(GL_READ_FRAMEBUFFER, front ? w->_frontFbo : w->_fbo);
  else
    glReadBuffer(front ? GL_FRONT : GL_BACK);
}

void KWindowGL::restoreReadBuffer() {
  KWindowGL *w = gCurrent;
  if (!w || !w->_openGLContext) return;
  if (w->_fbo)
    fb.bindFramebuffer(GL_READ_FRAMEBUFFER, w->_fbo);
  else
    glReadBuffer(GL_BACK);
}

// ---------------------------------------------------------------------------
// Window procedure

long KWindowGL::GameWindowProc(HWND hWnd, unsigned int messg, unsigned int wParam, long lParam) {
  bool consumed = false;
  KWindowGL *kw = windowFor<KWindowGL>(hWnd, messg, wParam, lParam, consumed);
  if (consumed) return 0;

  switch (messg) {
    case WM_DESTROY:
      if (kw) kw->_quit = true;
      return 0;
    case WM_PAINT:
      if (kw && !hWnd->isForeground()) kw->flipBackBuffer(true, true);
      return 0;
    case WM_CLOSE:
      // The window stays: the application sees isQuit and shuts down itself.
      if (kw) kw->_quit = true;
      return 0;
    case WM_ACTIVATEAPP:
      if (kw && !kw->_silent && kw->_fullscreen && kw->hasWindow()) {
        if (wParam == 0) {
          // Give the display back to the desktop and step aside.
          kw->RestoreResolution();
          kw->_hwnd->minimize();
        } else {
          kw->SwitchToResolution(kw->_windowWidth, kw->_windowHeight, kw->_windowDepth);
        }
      }
      return 0;
    default:
      return defaultMessage(hWnd, messg, wParam, lParam);
  }
}
