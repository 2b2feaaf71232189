// Volume and pan envelopes as the mix applies them: a step in the envelope
// changes the level at the output frame of its time.
#include <gtest/gtest.h>

#include <vector>

#include "engine/core/PCMSound.h"
#include "platform/data/MemObj.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace soundtest;

namespace {

constexpr uint32_t kRate = 8000;

// One second of a constant mono sound, held in memory.
struct ConstantSound {
  CMemObj* mem = new CMemObj;
  CPCMSound* sound = new CPCMSound;
  explicit ConstantSound(uint32_t rate = kRate) {
    std::string wav = Riff(Chunk("fmt ", FmtData(1, 1, rate, 16)) +
                           Chunk("data", Pcm16(std::vector<int16_t>(rate, 10000))));
    mem->Create(wav.data(), static_cast<int64_t>(wav.size()));
    EXPECT_EQ(sound->InitialLoad(mem, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  }
  ~ConstantSound() {
    CAudioAtom* atom = sound;
    DeleteAtom(&atom);
    CRefObj* obj = mem;
    DeleteRefObject(&obj);
  }
  // A step of the kind from `before` to `after` between atMs and atMs + 1.
  void Step(TMapType kind, long atMs, double before, double after) {
    CMap* map = sound->GetSrcMap();
    map->RemoveAllSimpleEvents(kind);
    map->AddSimpleEvent(kind, 0, before);
    map->AddSimpleEvent(kind, atMs, before);
    map->AddSimpleEvent(kind, atMs + 1, after);
    map->AddSimpleEvent(kind, 1000, after);
  }
};

// The frame of a time: the first whose time is not before it.
size_t Frame(uint32_t rate, long ms) { return (static_cast<size_t>(ms) * rate + 999) / 1000; }

}  // namespace

// A volume staircase at 44100 Hz, whose milliseconds are no whole numbers of
// frames: each stair begins on the frame of its time, the last as the first.
TEST(SoundEnvelope, VolumeStepsChangeTheLevelAtTheirFrames) {
  constexpr uint32_t kCdRate = 44100;
  ConstantSound s(kCdRate);
  CMap* map = s.sound->GetSrcMap();
  map->RemoveAllSimpleEvents(MAP_VOLUME);
  map->AddSimpleEvent(MAP_VOLUME, 0, 1.0);
  for (int k = 1; k < 10; ++k) {
    map->AddSimpleEvent(MAP_VOLUME, 100 * k - 1, 1.0 - 0.1 * (k - 1));
    map->AddSimpleEvent(MAP_VOLUME, 100 * k, 1.0 - 0.1 * k);
  }
  map->AddSimpleEvent(MAP_VOLUME, 1000, 0.1);
  std::vector<int16_t> out = AsSamples(RenderPlayOnce(*s.sound, Pcm(1, kCdRate, 16), 8820).bytes);
  ASSERT_EQ(out.size(), kCdRate);
  std::vector<size_t> changes, expected;
  for (size_t i = 1; i < out.size(); ++i)
    if (out[i] != out[i - 1]) changes.push_back(i);
  for (int k = 1; k < 10; ++k) expected.push_back(Frame(kCdRate, 100 * k));
  EXPECT_EQ(changes, expected);
  EXPECT_EQ(out.front(), 10000);
  EXPECT_NEAR(out.back(), 1000, 2);
}

TEST(SoundEnvelope, PanStepMovesTheSoundAtItsFrame) {
  ConstantSound s;
  s.Step(MAP_PAN, 250, 0.0, 1.0);  // centre, then right only
  std::vector<int16_t> out = AsSamples(RenderPlayOnce(*s.sound, Pcm(2, kRate, 16), 3200).bytes);
  ASSERT_EQ(out.size(), 2 * kRate);
  const size_t step = Frame(kRate, 251);
  for (size_t i = 0; i < step; ++i) {
    ASSERT_EQ(out[2 * i], 10000) << i;
    ASSERT_EQ(out[2 * i + 1], 10000) << i;
  }
  for (size_t i = step; i < kRate; ++i) {
    ASSERT_EQ(out[2 * i], 0) << i;
    ASSERT_EQ(out[2 * i + 1], 10000) << i;
  }
}
