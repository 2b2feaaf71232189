// Playback through the current mixer and the engine thread, on ALSA set-ups
// of the test's own: one that knows no device at all, and one whose default
// device is ALSA's null plugin, which takes whatever it is given at once.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>

#include "engine/base/PCMBuffer.h"
#include "engine/core/PCMMixer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundEngine.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

namespace {

using testsupport::TempDir;

CPCMSound* LoadSound(const std::string& path) {
  auto* file = new CFileObj;
  auto* sound = new CPCMSound;
  EXPECT_TRUE(file->Open(path, 0, 0));
  EXPECT_EQ(sound->InitialLoad(file, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  CRefObj* obj = file;
  DeleteRefObject(&obj);
  return sound;
}

bool Within(std::chrono::milliseconds limit, const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class MixerDevice : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"sox"}), "");
    ASSERT_TRUE(soundtest::Sox("-n -r 44100 -c 2 -b 16 '" + dir_.File("long.wav") +
                               "' synth 120 sine 440 vol 0.5"));
    ASSERT_EQ(SoundEngineStartup(nullptr), 1);
  }
  void TearDown() override {
    SoundEngineShutdown();
    unsetenv("ALSA_CONFIG_PATH");
  }
  // ALSA reads this configuration instead of the system's from now on.
  void UseAlsaConfig(const std::string& text) {
    ASSERT_TRUE(testsupport::UseAlsaConfig(dir_, text));
  }
  TempDir dir_;
  _tInitMixer init_{0, 4, 8820, {WAVE_FORMAT_PCM, 2, 44100, 0, 0, 16, 0}};  // 50 ms buffers
};

TEST_F(MixerDevice, WithoutADevicePlayingFailsAndNothingIsHeld) {
  UseAlsaConfig("# no devices\n");
  CPCMMixer mixer(&init_);
  ASSERT_EQ(GetCurrentMixer(), &mixer);
  CPCMSound* sound = LoadSound(dir_.File("long.wav"));
  EXPECT_EQ(mixer.Open(), 0);
  EXPECT_EQ(sound->Play(0), 0);
  EXPECT_EQ(mixer.Playing(), 0);
  EXPECT_EQ(mixer.IsOpen(), 0);
  EXPECT_EQ(sound->Playing(), 0);
  mixer.Close();  // nothing open: harmless
  EXPECT_EQ(mixer.IsOpen(), 0);
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  EXPECT_EQ(atom, nullptr);  // the mixer took no reference
}

TEST_F(MixerDevice, SoundsPlayToTheirEndOrUntilStoppedAndTheDeviceCloses) {
  UseAlsaConfig("pcm.!default { type null }\n");
  ASSERT_TRUE(soundtest::Sox("-n -r 22050 -c 1 -b 16 '" + dir_.File("short.wav") +
                             "' synth 0.7 sine 300 vol 0.5"));
  CPCMMixer mixer(&init_);
  CPCMSound* shortSound = LoadSound(dir_.File("short.wav"));
  CPCMSound* longSound = LoadSound(dir_.File("long.wav"));

  // The engine thread closes an idle device and may end a short sound at
  // once: the checks of a state hold the mixer lock it waits for.
  mixer.Lock();
  // Nested opens count; only the last close closes.
  EXPECT_EQ(mixer.Open(), 1);
  EXPECT_EQ(mixer.Open(), 1);
  mixer.Close();
  EXPECT_EQ(mixer.IsOpen(), 1);
  mixer.Close();
  EXPECT_EQ(mixer.IsOpen(), 0);

  // A short sound plays to its end; the engine thread then closes the device.
  EXPECT_EQ(shortSound->Play(0), 1);
  EXPECT_EQ(mixer.Playing(), 1);
  EXPECT_EQ(mixer.IsOpen(), 1);
  EXPECT_EQ(longSound->Play(0), 0);  // one top atom at a time
  mixer.Unlock();
  EXPECT_TRUE(Within(std::chrono::seconds(20), [&] { return mixer.Playing() == 0; }));
  EXPECT_TRUE(Within(std::chrono::seconds(2), [&] { return mixer.IsOpen() == 0; }));
  EXPECT_EQ(shortSound->Playing(), 0);
  EXPECT_GE(shortSound->CurrentPlayOffset(), 650);  // rendered to the end

  // A long one stops when asked, by the sound or by the mixer.
  ASSERT_EQ(longSound->Play(0), 1);
  EXPECT_TRUE(Within(std::chrono::seconds(5), [&] { return longSound->Playing() != 0; }));
  longSound->Stop();
  EXPECT_TRUE(Within(std::chrono::seconds(5), [&] { return mixer.Playing() == 0; }));
  EXPECT_LT(longSound->CurrentPlayOffset(), 100000);
  EXPECT_TRUE(Within(std::chrono::seconds(2), [&] { return mixer.IsOpen() == 0; }));
  ASSERT_EQ(longSound->Play(1000), 1);
  mixer.Stop();
  EXPECT_EQ(mixer.Playing(), 0);
  EXPECT_EQ(longSound->Playing(), 0);
  EXPECT_TRUE(Within(std::chrono::seconds(2), [&] { return mixer.IsOpen() == 0; }));

  // The mixer holds no reference any more: the sounds go with their last one.
  CAudioAtom* atom = shortSound;
  DeleteAtom(&atom);
  EXPECT_EQ(atom, nullptr);
  atom = longSound;
  DeleteAtom(&atom);
  EXPECT_EQ(atom, nullptr);
}

// A sound started inside itself and asked to recompute its position (its
// rate envelope changed) goes on from where it stands, not from the time
// it has played since its start.
TEST_F(MixerDevice, ARestartedSoundGoesOnFromItsPosition) {
  UseAlsaConfig("pcm.!default { type null }\n");
  CPCMMixer mixer(&init_);
  CPCMSound* sound = LoadSound(dir_.File("long.wav"));
  const double bytesPerMs = sound->Format()->nAvgBytesPerSec / 1000.0;
  EXPECT_EQ(mixer.CurrentOffset(sound), -1);  // not playing
  mixer.Lock();
  ASSERT_EQ(sound->Play(60000), 1);
  EXPECT_EQ(mixer.CurrentOffset(sound), 60000);
  mixer.Unlock();
  ASSERT_TRUE(Within(std::chrono::seconds(10), [&] { return mixer.CurrentOffset(sound) > 60300; }));

  mixer.Lock();
  const long before = mixer.CurrentOffset(sound);
  sound->SetMixerFlag(kMixerNewPosition);
  mixer.Unlock();
  ASSERT_TRUE(
      Within(std::chrono::seconds(10), [&] { return sound->GetFlag(kMixerNewPosition) == 0; }));
  mixer.Lock();
  // The read now begins where the sound stood.
  const double restartMs = sound->GetBuffer()->StartOffset() / bytesPerMs;
  EXPECT_GE(restartMs, before - 1);
  EXPECT_LT(restartMs, before + 5000);
  const long after = mixer.CurrentOffset(sound);
  EXPECT_TRUE(after == -1 || after >= before) << after;  // -1: it played to its end
  mixer.Stop();
  mixer.Unlock();
  EXPECT_EQ(mixer.CurrentOffset(sound), -1);
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  EXPECT_EQ(atom, nullptr);
}

}  // namespace
