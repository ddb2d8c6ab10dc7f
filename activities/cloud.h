// The smoke cloud: a four-image puff shown where a monster part or a seed is
// thrown away. One instance, shared by the monster builder and the garden.
// Application thread only.
#pragma once

class KGraphic;

struct sCloud {
  bool alive;
  long x, y;  // top-left on the screen
  long timer;  // frames shown of the current image, 0..4
  long frame;  // image 0..3
};

extern sCloud cloud1;
// The volume the poof plays at.
constexpr int kCloudVolume = 60;
extern KGraphic *surf_cloud;

// Create and load, or delete, the cloud picture.
void initCloud();
void freeCloud();
// Starts (or restarts) the cloud centred on (mx, my), with its sound.
void doCloud(long mx, long my);
// Advances the cloud one frame and draws it; 19 frames from start to gone.
void animateCloud();
