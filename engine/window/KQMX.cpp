// The renderer factory: the only code that names the backends. The renderer of
// the last window made decides the class of every picture made afterwards.
#include "window/KQMX.h"

#include "gl/KGraphicGL.h"
#include "gl/KWindowGL.h"
#include "tools/KMiscTools.h"

#include "d3d/KGraphicD3D.h"
#include "d3d/KWindowD3D.h"

Erenderer KQMX::_renderer = K_DIRECTX;

namespace {
KQMXBackend *gBackend = nullptr;

KWindow *realWindow(Erenderer er, bool use3d) {
  KMiscTools::initMiscTools();
  if (er == K_DIRECTX) return new KWindowD3D(use3d);
  return new KWindowGL(use3d);
}
}  // namespace

void KQMX::setBackend(KQMXBackend *backend) { gBackend = backend; }

KWindow *KQMX::createKWindow(Erenderer er, bool use3d) {
  _renderer = er;
  return gBackend ? gBackend->createWindow(er, use3d) : realWindow(er, use3d);
}

KGraphic *KQMX::createKGraphic() {
  if (gBackend) return gBackend->createGraphic(_renderer);
  if (_renderer == K_DIRECTX) return new KGraphicD3D();
  return new KGraphicGL();
}
