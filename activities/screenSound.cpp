// Sound effects a screen owns (see screenSound.h).
#include "activities/screenSound.h"

#include "sound/KSound.h"
#include "tools/KMiscTools.h"

KSound *loadScreenSample(const char *dataName, int volume, short copies) {
  KSound *s = new KSound();
  s->loadSample(KMiscTools::makeFilePath(dataName), volume, false, copies);
  return s;
}

void playScreenSample(KSound *sample) {
  if (sample) sample->playSample();
}

void deleteSample(KSound *&sample) {
  delete sample;
  sample = nullptr;
}
