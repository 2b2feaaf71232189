#include "engine/core/SoundEngine.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <system_error>
#include <thread>

#include "engine/base/AnalysisThresholds.h"
#include "engine/base/EngineGlobals.h"
#include "engine/base/TempPaths.h"
#include "engine/base/TonalisStrings.h"
#include "engine/codecs/Conv2FileObj.h"
#include "engine/codecs/MpegAcmDriver.h"
#include "engine/core/SoundLoaded.h"
#include "platform/Log.h"
#include "utilities/strings/StringsFileLocation.h"

namespace {

struct EngineState {
  std::recursive_mutex mixerLock;
  CPCMMixer* currentMixer = nullptr;  // guarded by mixerLock

  std::mutex controlLock;  // start-up and shutdown
  std::thread thread;
  std::atomic<bool> running{false};
  std::mutex wakeLock;
  std::condition_variable wake;  // cuts the thread's sleep short at shutdown

  std::atomic<HINSTANCE> module{nullptr};
  std::atomic<TMixerService> service{nullptr};

  // At process exit the thread must be joined before anything it uses goes.
  ~EngineState() { Stop(); }

  void Stop() {
    std::lock_guard<std::mutex> control(controlLock);
    if (!thread.joinable()) return;
    {
      std::lock_guard<std::mutex> lock(wakeLock);
      running = false;
    }
    wake.notify_all();
    thread.join();
  }
};

EngineState& State() {
  static EngineState state;
  return state;
}

void EngineThread() {
  EngineState& s = State();
  bool busy = false;
  while (s.running) {
    {
      std::unique_lock<std::mutex> lock(s.wakeLock);
      s.wake.wait_for(lock, std::chrono::milliseconds(busy ? 1 : 20), [&] { return !s.running; });
    }
    if (!s.running) break;
    busy = false;
    std::lock_guard<std::recursive_mutex> lock(s.mixerLock);
    TMixerService service = s.service.load();
    if (s.currentMixer != nullptr && service != nullptr) busy = service(s.currentMixer) != 0;
  }
}

}  // namespace

int SoundEngineStartup(HINSTANCE instance) {
  EngineState& s = State();
  std::lock_guard<std::mutex> control(s.controlLock);
  if (s.thread.joinable()) return 1;
  s.module = instance;
  SetWaveCDBlockAlign(0);
  SetSilenceThreshold(0);
  SetPartialSongThreshold(12);
  GetSoundRegistry();
  RegisterMpegAcmDriver();  // MPEG audio inside WAV decodes through the codec layer too
  s.running = true;
  try {
    s.thread = std::thread(EngineThread);
  } catch (const std::system_error&) {
    s.running = false;
    Log("Sound Engine: Cannot Create necessary thread!");
    std::fprintf(stderr, "Sound Engine: Cannot Create necessary thread!\n");
    return 0;
  }
  ResetEngineGlobals();
  SetTempSndPath(nullptr);
  SetTonalisStringFile(FindStringsFile("tonalis-strings.ini"));
  return 1;
}

void SoundEngineShutdown() { State().Stop(); }

int SoundEngineRunning() { return State().running ? 1 : 0; }

HINSTANCE GetEngineModuleHandle() { return State().module; }

void SetCurrentMixer(CPCMMixer* mixer) {
  std::lock_guard<std::recursive_mutex> lock(State().mixerLock);
  State().currentMixer = mixer;
}

CPCMMixer* GetCurrentMixer() {
  std::lock_guard<std::recursive_mutex> lock(State().mixerLock);
  return State().currentMixer;
}

std::recursive_mutex& GetMixerLock() { return State().mixerLock; }

void SetMixerService(TMixerService service) { State().service = service; }
