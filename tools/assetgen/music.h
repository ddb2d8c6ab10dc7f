// Renders a parsed score through FluidSynth and a General MIDI soundfont into
// one seamless loop: what rings on past the end is folded back onto the start.
// Build-time tool code; one synthesiser per call, no audio driver, no threads.
#pragma once

#include <string>

#include "audio.h"
#include "score.h"

namespace assetgen {

// With `normalised` false the synthesiser's own level is kept (to compare parts).
bool renderScore(const Score &score, const std::string &soundfont, Stereo &out, std::string &error,
                 bool normalised = true);

// Adds the frames past `loopFrames` onto the start and cuts the buffer there, so
// that playing it in a loop sounds as if the piece went on.
void foldTail(Stereo &s, size_t loopFrames);

}  // namespace assetgen
