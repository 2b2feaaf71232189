#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "engine/base/AnalysisThresholds.h"
#include "engine/base/EngineGlobals.h"
#include "engine/base/TempPaths.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/core/SoundEngine.h"
#include "engine/core/SoundLoaded.h"
#include "tests/TestSupport.h"

namespace {

std::atomic<int> passes{0};
std::atomic<int> busyAnswer{0};
std::atomic<bool> lockHeldInPass{true};
std::atomic<CPCMMixer*> seenMixer{nullptr};

int CountingService(CPCMMixer* mixer) {
  seenMixer = mixer;
  // The pass runs under the mixer lock: another thread cannot take it.
  bool other = false;
  std::thread([&] {
    if (GetMixerLock().try_lock()) {
      other = true;
      GetMixerLock().unlock();
    }
  }).join();
  if (other) lockHeldInPass = false;
  ++passes;
  return busyAnswer;
}

int PassesIn(std::chrono::milliseconds span) {
  int before = passes;
  std::this_thread::sleep_for(span);
  return passes - before;
}

TEST(SoundEngine, StartupResetsValuesAndTheThreadServesTheMixer) {
  SetSilenceThreshold(9);
  SetPartialSongThreshold(1);
  SetWaveCDBlockAlign(1);
  SetMPEGDecodingEnabled(0);
  SetWMADecodingAvailable(1);
  SetCurrentMP3EncoderValue(0);
  EncoderLibraryHandles()[3] = &passes;
  SetTempSndPath("/somewhere");
  SetMixerService(CountingService);

  ASSERT_EQ(SoundEngineStartup(nullptr), 1);
  EXPECT_EQ(SoundEngineStartup(nullptr), 1);  // already running: nothing new
  EXPECT_EQ(GetSilenceThreshold(), 0u);
  EXPECT_EQ(GetPartialSongThreshold(), 12);
  EXPECT_EQ(GetWaveCDBlockAlign(), 0);
  EXPECT_EQ(GetMPEGDecodingEnabled(), 1);
  EXPECT_EQ(GetWMADecodingAvailable(), 0);
  EXPECT_EQ(GetCurrentMP3EncoderValue(), 2);
  EXPECT_EQ(EncoderLibraryHandles()[3], nullptr);
  EXPECT_EQ(TempSndPathExists(), 0);
  EXPECT_NE(GetTonalisStringFile().find("tonalis-strings.ini"), std::string::npos);
  EXPECT_NE(GetSoundRegistry(), nullptr);
  EXPECT_EQ(GetCurrentMixer(), nullptr);

  // No current mixer: the thread runs no passes.
  EXPECT_EQ(PassesIn(std::chrono::milliseconds(100)), 0);
  int dummy = 0;
  CPCMMixer* mixer = reinterpret_cast<CPCMMixer*>(&dummy);
  SetCurrentMixer(mixer);
  EXPECT_EQ(GetCurrentMixer(), mixer);
  int idle = PassesIn(std::chrono::milliseconds(300));
  busyAnswer = 1;
  int busy = PassesIn(std::chrono::milliseconds(300));
  EXPECT_GE(idle, 3);
  EXPECT_LE(idle, 20);        // about every 20 ms
  EXPECT_GT(busy, idle * 2);  // about every 1 ms while busy, even on a loaded machine
  EXPECT_EQ(seenMixer.load(), mixer);
  EXPECT_TRUE(lockHeldInPass);

  SoundEngineShutdown();
  EXPECT_EQ(SoundEngineRunning(), 0);
  EXPECT_EQ(PassesIn(std::chrono::milliseconds(50)), 0);  // joined: no more passes
  SoundEngineShutdown();                                  // twice is harmless
  SetCurrentMixer(nullptr);
  busyAnswer = 0;

  // A new start after a shutdown works again.
  ASSERT_EQ(SoundEngineStartup(nullptr), 1);
  SoundEngineShutdown();
  SetMixerService(nullptr);
}

TEST(SoundEngine, ProcessExitWithoutShutdownJoinsTheThread) {
  pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    SetMixerService(CountingService);
    int dummy = 0;
    SetCurrentMixer(reinterpret_cast<CPCMMixer*>(&dummy));
    if (SoundEngineStartup(nullptr) != 1) _exit(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::exit(0);  // static destruction must stop the thread, not abort
  }
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace
