// The smoke cloud shared by the monster builder and the garden: four 124×124
// images in a 2×2 sheet, played once. Application thread only.
#include "activities/cloud.h"

#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "sound/KSound.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"

sCloud cloud1 = {false, 0, 0, 0, 0};
KGraphic *surf_cloud = nullptr;

void initCloud() {
  freeCloud();
  surf_cloud = KQMX::createKGraphic();
  if (surf_cloud) surf_cloud->loadPicture(KMiscTools::makeFilePath("data\\gfx\\cloud.tga"), true, true);
}

void freeCloud() {
  if (surf_cloud) {
    delete surf_cloud;
    surf_cloud = nullptr;
  }
}

void doCloud(long mx, long my) {
  cloud1.alive = true;
  cloud1.x = mx - 62;
  cloud1.y = my - 62;
  cloud1.timer = 0;
  cloud1.frame = 0;
  if (snd_cloud) {
    // As loud as the other hand sounds (pick, place, pegs): at a fifth of the
    // effects' volume no poof can carry over the music.
    snd_cloud->setVolume(kCloudVolume);
    snd_cloud->playSample();
  }
}

void animateCloud() {
  if (!cloud1.alive) return;
  cloud1.timer += 1;
  if (cloud1.timer > 4) {
    cloud1.timer = 0;
    cloud1.frame += 1;
    if (cloud1.frame > 3) {
      cloud1.alive = false;
      cloud1.frame = 0;
      return;
    }
  }
  if (!surf_cloud) return;
  float sx = 124.0f * float(cloud1.frame % 2);
  float sy = 124.0f * float(cloud1.frame / 2);
  surf_cloud->blitAlphaRect(sx, sy, sx + 124, sy + 124, short(cloud1.x), short(cloud1.y), false,
                            false);
}
