// The renderer factory: the only code that names the backends.
#include "window/KQMX.h"

#include "tools/KMiscTools.h"

#if __has_include("window/KWindowGL.h")
#include "graphic/KGraphicGL.h"
#include "window/KWindowGL.h"
#define PABRIX_HAVE_GL 1
#endif
#if __has_include("d3d/KWindowD3D.h")
#include "d3d/KGraphicD3D.h"
#include "d3d/KWindowD3D.h"
#define PABRIX_HAVE_D3D 1
#endif

Erenderer KQMX::_renderer = K_DIRECTX;

KWindow *KQMX::createKWindow(Erenderer er, bool use3d) {
  _renderer = er;
  KMiscTools::initMiscTools();
#if defined(PABRIX_HAVE_D3D)
  if (er == K_DIRECTX) return new KWindowD3D(use3d);
#endif
#if defined(PABRIX_HAVE_GL)
  // Until the software Direct3D backend is built, every request gets OpenGL.
  _renderer = K_OPENGL;
  return new KWindowGL(use3d);
#else
  (void)use3d;
  return nullptr;
#endif
}

KGraphic *KQMX::createKGraphic() {
#if defined(PABRIX_HAVE_D3D)
  if (_renderer == K_DIRECTX) return new KGraphicD3D();
#endif
#if defined(PABRIX_HAVE_GL)
  return new KGraphicGL();
#else
  return nullptr;
#endif
}
