// KQMX: the renderer factory, the one place that names the backends.
// The renderer chosen for the window decides the class of every picture made later.
#pragma once

class KWindow;
class KGraphic;

enum Erenderer { K_DIRECTX = 0, K_OPENGL = 1 };

// Makes the windows and pictures of one family. The factory's own family is the
// real renderers; KQMXNull.h has one that draws nowhere, for tools and tests.
class KQMXBackend {
public:
  virtual ~KQMXBackend() = default;
  virtual KWindow *createWindow(Erenderer er, bool use3d) = 0;
  virtual KGraphic *createGraphic(Erenderer er) = 0;
};

class KQMX {
public:
  static Erenderer _renderer;

  // Stores the renderer and returns a new window for it; the caller owns it.
  static KWindow *createKWindow(Erenderer er, bool use3d);
  // A new picture for the renderer of the last window made; the caller owns it.
  static KGraphic *createKGraphic();
  // Replaces the family the two calls above make (null restores the real
  // renderers); not owned. Application thread only, before any window is made.
  static void setBackend(KQMXBackend *backend);
};
