// sonoplay FILE              plays a sound file through the engine to its end
// sonoplay -r SECONDS OUT    records SECONDS from the sound device into OUT
//                            (16-bit stereo WAV at 44100 samples per second)
// Ctrl+C stops either early; what was recorded until then is kept.
// Exit status: 0 done, 1 the file or the sound device failed, 2 usage.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "engine/base/SampleBuffer.h"
#include "engine/core/PCMMixer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundEngine.h"
#include "platform/LastError.h"
#include "platform/data/FileObj.h"
#include "platform/os/Signals.h"

namespace {

constexpr int kDone = 0, kFailed = 1, kUsage = 2;

const char kUsageText[] =
    "usage: sonoplay FILE            play FILE to its end\n"
    "       sonoplay -r SECONDS OUT  record SECONDS from the sound device into the WAV file OUT\n"
    "Ctrl+C stops early. Exit status: 0 done, 1 failure, 2 usage.\n";

int Fail(const std::string& text) {
  std::fprintf(stderr, "sonoplay: %s\n", text.c_str());
  return kFailed;
}

std::string DeviceReason(CPCMMixer& mixer) {
  const char* why = mixer.DeviceError();
  return std::string("the sound device does not open") +
         (*why ? std::string(" (") + why + ")" : "");
}

// 50 ms device buffers, four of them.
_tInitMixer MixerSetUp() { return {0, 4, 8820, {WAVE_FORMAT_PCM, 2, 44100, 0, 0, 16, 0}}; }

int Play(const char* path) {
  _tInitMixer init = MixerSetUp();
  CPCMMixer mixer(&init);
  auto* file = new CFileObj;
  CRefObj* obj = file;
  if (!file->Open(path, 0, 0)) {
    DeleteRefObject(&obj);
    return Fail(std::string(path) + ": cannot open the file");
  }
  auto* sound = new CPCMSound;
  CAudioAtom* atom = sound;
  int loaded = sound->InitialLoad(file, 2000, 0, 0, 0, 0, 20, nullptr, nullptr);
  DeleteRefObject(&obj);
  if (!loaded) {
    DeleteAtom(&atom);
    return Fail(std::string(path) + ": not a sound file the engine reads (error " +
                std::to_string(GetLastError()) + ")");
  }
  // The device plays the sound's own shape where it is PCM the device takes.
  tWAVEFORMATEX f = *sound->Format();
  tWAVEFORMATEX wanted{WAVE_FORMAT_PCM,
                       f.nChannels == 1 ? uint16_t{1} : uint16_t{2},
                       f.nSamplesPerSec,
                       0,
                       0,
                       f.wBitsPerSample == 8 ? uint16_t{8} : uint16_t{16},
                       0};
  ValidateFormat(&wanted, WAVE_FORMAT_PCM);
  mixer.SetFormat(&wanted);
  if (!sound->Play(0)) {
    std::string why = DeviceReason(mixer);
    DeleteAtom(&atom);
    return Fail(std::string(path) + ": cannot play: " + why);
  }
  while (mixer.Playing()) {
    if (os::TakeInterrupt()) {
      mixer.Stop();
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  mixer.Lock();
  mixer.Stop();
  mixer.Unlock();
  DeleteAtom(&atom);
  return kDone;
}

int Record(double seconds, const char* out) {
  _tInitMixer init = MixerSetUp();
  CPCMMixer mixer(&init);
  tWAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 0, 0, 16, 0};
  ValidateFormat(&f, WAVE_FORMAT_PCM);
  auto* sound = new CPCMSound;
  CAudioAtom* atom = sound;
  std::string path = out;
  if (!sound->Record(0, &f, path.data(), 0, 20)) {
    std::string why = DeviceReason(mixer);
    DeleteAtom(&atom);
    return Fail(path + ": cannot record: " + why);
  }
  auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (mixer.Recording() && std::chrono::steady_clock::now() < end && !os::TakeInterrupt())
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const bool deviceFailed = !mixer.Recording();
  int ok = sound->Record(1, nullptr, nullptr, 0, 0);
  DeleteAtom(&atom);
  if (deviceFailed) return Fail(path + ": the sound device stopped recording");
  if (!ok) return Fail(path + ": the recording could not be completed");
  return kDone;
}

}  // namespace

int main(int argc, char** argv) {
  os::InstallInterruptHandler();
  int rc = kUsage;
  if (argc == 2 && std::strcmp(argv[1], "-r") != 0 && argv[1][0] != '-') {
    if (!SoundEngineStartup(nullptr)) return Fail("the sound engine does not start");
    rc = Play(argv[1]);
  } else if (argc == 4 && std::strcmp(argv[1], "-r") == 0) {
    char* rest = nullptr;
    double seconds = std::strtod(argv[2], &rest);
    if (rest == argv[2] || *rest || !(seconds > 0.0) || seconds > 86400.0) {
      std::fprintf(stderr, "sonoplay: %s: not a number of seconds\n%s", argv[2], kUsageText);
      return kUsage;
    }
    if (!SoundEngineStartup(nullptr)) return Fail("the sound engine does not start");
    rc = Record(seconds, argv[3]);
  } else {
    std::fputs(kUsageText, stderr);
    return kUsage;
  }
  SoundEngineShutdown();
  return rc;
}
