// Benchmark: the garden's heaviest frame drawn by the software renderer through
// the screen's own frame code: sky, five clouds, panel and soil, ten seeds (one
// pulsing under the pointer) and 100 plants in full bloom, each with stem, tilted
// flower and five leaves. The window is headless; presentation is left out since
// it waits for the display's refresh. A 60 Hz frame lasts 16.7 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "activities/garden.h"
#include "activities/seeds.h"
#include "app/shell.h"
#include "graphic/KGraphic.h"
#include "input/KScriptedInput.h"
#include "tools/KMiscTools.h"
#include "window/KQMX.h"
#include "window/KWindow.h"

namespace {

KScriptedInput input;

KGraphic *picture(const char *name) {
  KGraphic *g = KQMX::createKGraphic();
  g->loadPicture(KMiscTools::makeFilePath(name), true, true);
  return g;
}

bool setUpGarden() {
  setenv("SDL_VIDEODRIVER", "dummy", 0);
  setenv("SDL_AUDIODRIVER", "dummy", 0);
  gameWindow = KQMX::createKWindow(K_DIRECTX, false);
  if (!gameWindow || !gameWindow->createGameWindow(640, 480, -1, true, "Pabrix")) return false;
  KInput::setSource(&input);
  gameWindow->flipBackBuffer(false, true);  // opens the first scene, as a running program has
  surf_garden = picture("data\\gfx\\flower1.tga");
  surf_tiges = picture("data\\gfx\\tiges.tga");
  surf_sky = picture("data\\gfx\\sky.bmp");
  surf_mouse = picture("data\\gfx\\mouse.tga");

  // A hundred plants across the soil, all grown, open and leafy.
  for (int i = 0; i < kMaxSeeds; i++) {
    input.setPointer(200 + (i * 41) % 420, 400 + (i * 13) % 70);
    _seedInHand = 1 + i % 10;
    addSeed();
  }
  _seedInHand = 0;
  for (sSeedInGame &s : allSeeds) {
    s.progress = 150;
    s.flowerProgress = 1;
    s.lifeTime = 1e9f;
    for (sPetalPosition &leaf : s.leaves) leaf.progress = 1;
  }
  input.setPointer(22, 109);  // over seed 1: it pulses
  if (const char *shot = getenv("BENCH_GARDEN_SHOT")) {
    gardenFrame();
    surf_sky->saveBackBuffer(shot, 3, 0, 0);  // for looking at what is measured
  }
  return true;
}

void BM_GardenFullBloom(benchmark::State &state) {
  static bool ready = setUpGarden();
  if (!ready) {
    state.SkipWithError("no software window");
    return;
  }
  for (auto _ : state) gardenFrame();
}
BENCHMARK(BM_GardenFullBloom)->Unit(benchmark::kMillisecond)->Repetitions(5);

}  // namespace

BENCHMARK_MAIN();
