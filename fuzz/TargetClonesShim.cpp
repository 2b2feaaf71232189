// clang 14 names the dispatcher of a target_clones function "<symbol>.ifunc"
// and never emits the plain symbol its callers refer to (gcc does). The fuzz
// build is clang-only, so it forwards the plain name of the synthesis filter
// bank to that dispatcher. Newer clang emits the plain symbol itself: drop
// this file then (the link would report a duplicate).
#include <cstdint>

#include "engine/codecs/mpeg/Synthesis.h"

extern "C" void SynthesisRunDispatcher(
    mpegaudio::CSynthesis* self, const float (*subbands)[32], int slots, int16_t* pcm,
    int stride) __asm__("_ZN9mpegaudio10CSynthesis3RunEPA32_KfiPsi.ifunc");

void mpegaudio::CSynthesis::Run(const float (*subbands)[32], int slots, int16_t* pcm, int stride) {
  SynthesisRunDispatcher(this, subbands, slots, pcm, stride);
}
