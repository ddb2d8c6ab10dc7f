// Loading and freeing the pictures a screen owns. Application thread only.
#include "app/pictures.h"

#include "graphic/KGraphic.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"

KGraphic *loadScreenPicture(const char *dataName) {
  KGraphic *g = KQMX::createKGraphic();
  if (g) g->loadPicture(KMiscTools::makeFilePath(dataName), true, true);
  return g;
}

void deletePicture(KGraphic *&picture) {
  delete picture;
  picture = nullptr;
}
