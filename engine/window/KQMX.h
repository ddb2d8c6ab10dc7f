// KQMX: the renderer factory, the one place that names the backends.
// The renderer chosen for the window decides the class of every picture made later.
#pragma once

class KWindow;
class KGraphic;

enum Erenderer { K_DIRECTX = 0, K_OPENGL = 1 };

class KQMX {
public:
  static Erenderer _renderer;

  // Stores the renderer and returns a new window for it; the caller owns it.
  static KWindow *createKWindow(Erenderer er, bool use3d);
  // A new picture for the renderer of the last window made; the caller owns it.
  static KGraphic *createKGraphic();
};
