// Recording from the sound device into a sound, and playing through it, on
// ALSA's file plugin under a configuration of the test's own: capture reads
// a raw file the test writes, playback writes a raw file the test reads
// back. Neither needs a sound card, and both deliver no faster than the
// clock (capture) or at once (playback).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/core/PCMMixer.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundEngine.h"
#include "engine/media/Peaks.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

namespace {

using testsupport::TempDir;

bool Within(std::chrono::milliseconds limit, const std::function<bool()>& done) {
  auto end = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Interleaved 16-bit frames: sample(frame, channel).
std::string Frames16(long frames, int channels, const std::function<int(long, int)>& sample) {
  std::string out;
  out.reserve(static_cast<size_t>(frames * channels * 2));
  for (long i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c) {
      int v = sample(i, c);
      out.push_back(static_cast<char>(v & 0xFF));
      out.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
  return out;
}

// The bytes of a sound's data window, read through a reader of its own.
std::string SoundData(CPCMSound& sound) {
  CRefObj* reader = sound.GetRefObj() ? sound.GetRefObj()->Copy() : nullptr;
  if (!reader) return "";
  reader->SetDataMode(0);
  reader->SeekToData(0);
  std::string data(static_cast<size_t>(reader->DataSize()), '\0');
  data.resize(static_cast<size_t>(reader->ReadData(data.data(), reader->DataSize())));
  DeleteRefObject(&reader);
  return data;
}

long ExpectedPeak(const std::string& data, size_t at, size_t bytes, int bits) {
  long max = 0;
  for (size_t i = at; i < at + bytes && i < data.size(); i += bits / 8) {
    long v = bits == 8 ? (static_cast<uint8_t>(data[i]) - 128) * 256
                       : static_cast<int16_t>(static_cast<uint8_t>(data[i]) |
                                              (static_cast<uint8_t>(data[i + 1]) << 8));
    max = std::max(max, v < 0 ? -v : v);
  }
  return std::min(255L, max * 255 / 32767);
}

// A mixer that keeps the input level reports.
class MeterMixer : public CPCMMixer {
 public:
  using CPCMMixer::CPCMMixer;
  struct Report {
    double left, right;
    unsigned long position;
  };
  void UpdatePeak(double left, double right, unsigned long position) override {
    reports.push_back({left, right, position});
  }
  std::vector<Report> reports;  // under the mixer lock
};

class Recording : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(testsupport::MissingPrograms({"sox"}), "");
    ASSERT_EQ(SoundEngineStartup(nullptr), 1);
  }
  void TearDown() override {
    SoundEngineShutdown();
    unsetenv("ALSA_CONFIG_PATH");
  }
  void UseAlsaConfig(const std::string& text) {
    ASSERT_TRUE(testsupport::UseAlsaConfig(dir_, text));
  }
  // The default device captures `input` and writes what is played (or
  // captured) to `output`.
  void UseFileDevice(const std::string& input, const std::string& output) {
    ASSERT_TRUE(testsupport::WriteFile(dir_.File("in.raw"), input));
    UseAlsaConfig("pcm.!default { type file slave.pcm { type null } file \"" + dir_.File(output) +
                  "\" infile \"" + dir_.File("in.raw") + "\" format \"raw\" }\n");
  }
  // Plays the sound through the file device to its end: the bytes played,
  // without the silence that fills the device's last buffer. A sound plays
  // for its length in whole milliseconds.
  std::string PlayToFile(CPCMSound& sound, CPCMMixer& mixer) {
    const tWAVEFORMATEX* f = sound.Format();
    const size_t expect = static_cast<size_t>(int64_t{f->nAvgBytesPerSec} * sound.Length(0) / 1000 /
                                              f->nBlockAlign * f->nBlockAlign);
    UseFileDevice("", "played.raw");
    EXPECT_EQ(sound.Play(0), 1);
    EXPECT_TRUE(Within(std::chrono::seconds(30), [&] { return mixer.Playing() == 0; }));
    EXPECT_TRUE(Within(std::chrono::seconds(2), [&] { return mixer.IsOpen() == 0; }));
    std::string played = testsupport::ReadFile(dir_.File("played.raw"));
    const char silence = sound.Format()->wBitsPerSample == 8 ? '\x80' : '\0';
    EXPECT_GE(played.size(), expect);
    EXPECT_EQ(played.find_first_not_of(silence, std::min(expect, played.size())),
              std::string::npos);
    if (played.size() > expect) played.resize(expect);
    return played;
  }
  TempDir dir_;
  _tInitMixer init_{0, 4, 8820, {WAVE_FORMAT_PCM, 2, 44100, 0, 0, 16, 0}};  // 50 ms buffers
};

TEST_F(Recording, IntoAFileKeepsTheInputWithItsPeaksAndPlaysBack) {
  // Five seconds whose loudness changes every 10 ms, the channels apart.
  const std::string input = Frames16(5 * 44100, 2, [](long i, int c) {
    int level = static_cast<int>((i / 441) % 60) * 500 + 1000;
    return ((i % 50) < 25 ? level : -level) / (c + 1);
  });
  UseFileDevice(input, "captured.raw");
  CPCMMixer mixer(&init_);
  EXPECT_EQ(mixer.FullDuplexTest(0, &init_.format, &init_.format), 1);
  tWAVEFORMATEX f = soundtest::Pcm(2, 44100, 16);
  auto* sound = new CPCMSound;
  std::string path = dir_.File("rec.wav");
  ASSERT_EQ(sound->Record(0, &f, path.data(), 1, 20), 1);
  EXPECT_EQ(mixer.Recording(), 1);
  EXPECT_EQ(mixer.GetRecordingSound(), sound);
  EXPECT_EQ(sound->Record(0, &f, path.data(), 1, 20), 0);  // one recording at a time
  Sleep(600);
  ASSERT_EQ(sound->Record(1, nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(mixer.Recording(), 0);
  EXPECT_EQ(mixer.GetRecordingSound(), nullptr);

  // The recording is the input as it was fed, as long as it ran.
  const std::string data = SoundData(*sound);
  ASSERT_GT(data.size(), 0u);
  EXPECT_EQ(data.size() % 4, 0u);
  EXPECT_TRUE(data == input.substr(0, data.size()));
  EXPECT_EQ(sound->Length(0), static_cast<long>(data.size() * 1000 / 176400));
  EXPECT_GE(sound->Length(0), 550);
  EXPECT_LE(sound->Length(0), 1500);
  EXPECT_EQ(sound->GetRefObj()->Type(), kRefObjFile);
  // A WAV file other programs read.
  std::vector<int16_t> fromSox = soundtest::SoxSamples(path);
  ASSERT_EQ(fromSox.size() * 2, data.size());
  EXPECT_EQ(std::memcmp(fromSox.data(), data.data(), data.size()), 0);

  // One peak byte per 20 ms: 3528 bytes each, the last one over what is left.
  CPeaks* peaks = sound->GetPeaks();
  ASSERT_NE(peaks, nullptr);
  EXPECT_EQ(peaks->NumMilsPerPeak(), 20u);
  ASSERT_EQ(peaks->GetNumPeaks(), static_cast<long>((data.size() + 3527) / 3528));
  for (long i = 0; i < peaks->GetNumPeaks(); ++i)
    ASSERT_EQ(peaks->GetDataPtr()[i], ExpectedPeak(data, i * 3528, 3528, 16)) << "peak " << i;
  EXPECT_EQ(peaks->GetMaxLeft(), 30500);
  EXPECT_EQ(peaks->GetMaxRight(), 15250);

  // It plays back like a loaded sound: every sample, in order.
  const std::string played = PlayToFile(*sound, mixer);
  EXPECT_GE(played.size() + f.nAvgBytesPerSec / 1000 + f.nBlockAlign, data.size());
  EXPECT_TRUE(played == data.substr(0, played.size()));
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
}

TEST_F(Recording, IntoMemoryWithoutAPathAndStoppingTheAtomKeepsWhatWasRecorded) {
  // 8-bit mono at 11025: a peak of 20 ms is 220.5 bytes.
  std::string input(11025 * 5, '\0');
  for (size_t i = 0; i < input.size(); ++i)
    input[i] = static_cast<char>(128 + ((i / 30) % 2 ? 1 : -1) * static_cast<int>((i / 110) % 100));
  UseFileDevice(input, "captured.raw");
  CPCMMixer mixer(&init_);
  tWAVEFORMATEX f = soundtest::Pcm(1, 11025, 8);
  auto* sound = new CPCMSound;
  char empty[] = "";
  ASSERT_EQ(sound->Record(0, &f, empty, 1, 20), 1);
  EXPECT_EQ(sound->Play(0), 0);  // nothing to play yet; the recording goes on
  Sleep(300);
  EXPECT_EQ(mixer.Recording(), 1);
  // Stopping the recording sound ends the capture; the sound keeps it.
  mixer.StopAtom(sound, 0);
  EXPECT_EQ(mixer.Recording(), 0);
  Sleep(200);
  ASSERT_EQ(sound->Record(1, nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(sound->GetRefObj()->Type(), kRefObjMemory);
  const std::string data = SoundData(*sound);
  EXPECT_TRUE(data == input.substr(0, data.size()));
  EXPECT_GE(sound->Length(0), 250);
  EXPECT_LT(sound->Length(0), 450);  // nothing after the stop
  EXPECT_EQ(sound->Length(0), static_cast<long>(data.size() * 1000 / 11025));
  // Pieces of whole bytes fall behind by half a byte each: every 441st joins
  // the next, so that the peaks keep to 20 ms each.
  ASSERT_NE(sound->GetPeaks(), nullptr);
  const double exact = static_cast<double>(data.size()) / 220.5;
  EXPECT_NEAR(static_cast<double>(sound->GetPeaks()->GetNumPeaks()), exact, 1.0);
  EXPECT_EQ(sound->GetPeaks()->GetDataPtr()[0], ExpectedPeak(data, 0, 220, 8));

  // It plays back from memory, through a mixer in its own format.
  mixer.SetFormat(&f);
  const std::string played = PlayToFile(*sound, mixer);
  EXPECT_GE(played.size() + f.nAvgBytesPerSec / 1000 + f.nBlockAlign, data.size());
  EXPECT_TRUE(played == data.substr(0, played.size()));
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);

  // A mixer made while another records takes nothing over; the sound,
  // deleted while recording, ends the capture of the mixer that records.
  auto* other = new CPCMSound;
  ASSERT_EQ(other->Record(0, &f, empty, 0, 20), 1);
  {
    CPCMMixer second(&init_);
    EXPECT_EQ(second.Recording(), 0);
    atom = other;
    DeleteAtom(&atom);
    EXPECT_EQ(mixer.Recording(), 0);
    EXPECT_EQ(mixer.GetRecordingSound(), nullptr);
  }
}

TEST_F(Recording, TheMeterReportsAfterEvery80msOfNewAudio) {
  // A constant level per channel: 16000 left, 8000 right.
  const std::string input =
      Frames16(3 * 44100, 2, [](long i, int c) { return (i % 2 ? 16000 : -16000) / (c + 1); });
  UseFileDevice(input, "captured.raw");
  MeterMixer mixer(&init_);
  tWAVEFORMATEX f = soundtest::Pcm(2, 44100, 16);
  auto* sound = new CPCMSound;
  char empty[] = "";
  ASSERT_EQ(sound->Record(0, &f, empty, 0, 20), 1);
  Sleep(500);
  ASSERT_EQ(sound->Record(1, nullptr, nullptr, 0, 0), 1);
  EXPECT_EQ(sound->GetPeaks(), nullptr);  // none asked for
  mixer.Lock();
  std::vector<MeterMixer::Report> reports = mixer.reports;
  mixer.Unlock();
  ASSERT_GE(reports.size(), 2u);
  EXPECT_LE(reports.size(), 8u);  // about 600 ms at most, 80 ms apart
  const unsigned long step = 176400 * 80 / 1000;
  unsigned long last = 0;
  for (const MeterMixer::Report& r : reports) {
    EXPECT_GE(r.position, last + step);
    last = r.position;
    EXPECT_NEAR(r.left, 16000 / 32767.0, 1e-9);
    EXPECT_NEAR(r.right, 8000 / 32767.0, 1e-9);
  }
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
}

TEST_F(Recording, PlaybackWritesTheSamplesInOrderThroughPauseAndStop) {
  ASSERT_TRUE(soundtest::Sox("-n -r 44100 -c 2 -b 16 '" + dir_.File("long.wav") +
                             "' synth 60 sine 440 vol 0.5"));
  std::vector<int16_t> samples = soundtest::SoxSamples(dir_.File("long.wav"));
  const std::string all(reinterpret_cast<const char*>(samples.data()), samples.size() * 2);
  UseFileDevice("", "played.raw");
  CPCMMixer mixer(&init_);
  auto* file = new CFileObj;
  auto* sound = new CPCMSound;
  ASSERT_TRUE(file->Open(dir_.File("long.wav"), 0, 0));
  ASSERT_EQ(sound->InitialLoad(file, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
  CRefObj* obj = file;
  DeleteRefObject(&obj);

  // Paused while it plays: nothing more reaches the device, nothing is lost.
  mixer.Lock();
  ASSERT_EQ(sound->Play(0), 1);
  mixer.Unlock();
  mixer.Lock();
  mixer.Pause(1);
  mixer.Unlock();
  EXPECT_EQ(mixer.IsPaused(), 1);
  Sleep(50);
  const size_t paused = testsupport::ReadFile(dir_.File("played.raw")).size();
  Sleep(200);
  EXPECT_EQ(testsupport::ReadFile(dir_.File("played.raw")).size(), paused);
  EXPECT_EQ(mixer.Playing(), 1);
  mixer.Pause(0);
  EXPECT_TRUE(Within(std::chrono::seconds(60), [&] { return mixer.Playing() == 0; }));
  EXPECT_TRUE(Within(std::chrono::seconds(2), [&] { return mixer.IsOpen() == 0; }));
  std::string played = testsupport::ReadFile(dir_.File("played.raw"));
  EXPECT_EQ(played.size(), all.size());
  EXPECT_TRUE(played == all);

  // Stopped early: what was played is the sound's beginning.
  ASSERT_EQ(sound->Play(0), 1);
  Sleep(5);
  mixer.Stop();
  EXPECT_EQ(mixer.Playing(), 0);
  EXPECT_TRUE(Within(std::chrono::seconds(2), [&] { return mixer.IsOpen() == 0; }));
  played = testsupport::ReadFile(dir_.File("played.raw"));
  EXPECT_LT(played.size(), all.size());
  EXPECT_TRUE(played == all.substr(0, played.size()));
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
}

TEST_F(Recording, WithoutAUsableDeviceEveryDeviceCallFailsWithAReason) {
  ASSERT_TRUE(soundtest::Sox("-n -r 44100 -c 2 -b 16 '" + dir_.File("tone.wav") +
                             "' synth 1 sine 440 vol 0.5"));
  for (const char* config : {"# no devices\n", "pcm.!default { type hw card 9 }\n"}) {
    UseAlsaConfig(config);
    CPCMMixer mixer(&init_);
    tWAVEFORMATEX f = soundtest::Pcm(2, 44100, 16);
    EXPECT_EQ(mixer.FullDuplexTest(0, &f, &f), 0) << config;
    EXPECT_STRNE(mixer.DeviceError(), "");

    auto* sound = new CPCMSound;
    std::string path = dir_.File("rec.wav");
    EXPECT_EQ(sound->Record(0, &f, path.data(), 1, 20), 0) << config;
    EXPECT_STRNE(mixer.DeviceError(), "");
    EXPECT_EQ(mixer.Recording(), 0);
    EXPECT_EQ(mixer.GetRecordingSound(), nullptr);
    EXPECT_FALSE(std::ifstream(path).good());  // no file left behind
    EXPECT_EQ(sound->Record(1, nullptr, nullptr, 0, 0), 0);
    CAudioAtom* atom = sound;
    DeleteAtom(&atom);

    auto* file = new CFileObj;
    auto* tone = new CPCMSound;
    ASSERT_TRUE(file->Open(dir_.File("tone.wav"), 0, 0));
    ASSERT_EQ(tone->InitialLoad(file, 2000, 0, 0, 0, 0, 20, nullptr, nullptr), 1);
    CRefObj* obj = file;
    DeleteRefObject(&obj);
    EXPECT_EQ(tone->Play(0), 0) << config;
    EXPECT_STRNE(mixer.DeviceError(), "");
    EXPECT_EQ(mixer.Playing(), 0);
    atom = tone;
    DeleteAtom(&atom);
  }
}

}  // namespace
