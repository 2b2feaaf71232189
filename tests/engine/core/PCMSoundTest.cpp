#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>

#include "engine/base/PCMBuffer.h"
#include "engine/base/SampleBuffer.h"
#include "engine/core/InitialLoad.h"
#include "engine/core/PCMSound.h"
#include "engine/core/SoundGroup.h"
#include "engine/media/Peaks.h"
#include "platform/LastError.h"
#include "platform/data/FileObj.h"
#include "platform/data/MemObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace soundtest;
using testsupport::TempDir;

namespace {

// A sound over WAV bytes held in memory.
struct MemSound {
  CMemObj* mem = new CMemObj;
  CPCMSound* sound = new CPCMSound;
  int loaded = 0;
  explicit MemSound(const std::string& wav, int buildPeaks = 0) {
    mem->Create(wav.data(), static_cast<int64_t>(wav.size()));
    loaded = sound->InitialLoad(mem, 2000, 0, buildPeaks, 0, 0, 20, nullptr, nullptr);
  }
  ~MemSound() {
    CAudioAtom* atom = sound;
    DeleteAtom(&atom);
    CRefObj* obj = mem;
    DeleteRefObject(&obj);
  }
};

// A sound over a file, opened as the converter opens its sources.
struct FileSound {
  CFileObj* file = new CFileObj;
  CPCMSound* sound = new CPCMSound;
  int loaded = 0;
  FileSound(const std::string& path, int buildPeaks, long bufferMs = 2000) {
    if (file->Open(path, 0, 0))
      loaded = sound->InitialLoad(file, bufferMs, 0, buildPeaks, 0, 0, 20, nullptr, nullptr);
  }
  ~FileSound() {
    CAudioAtom* atom = sound;
    DeleteAtom(&atom);
    CRefObj* obj = file;
    DeleteRefObject(&obj);
  }
};

std::string MonoWav(const std::vector<int16_t>& samples, uint32_t rate) {
  return Riff(Chunk("fmt ", FmtData(1, 1, rate, 16)) + Chunk("data", Pcm16(samples)));
}

}  // namespace

// Files made by sox come out frame for frame as sox itself decodes them,
// whether small enough to be held in memory or streamed through the ring.
TEST(PCMSound, PlayOnceRenderReproducesSoxDecodingExactly) {
  TempDir dir;
  struct Case {
    const char* name;
    uint16_t channels, bits;
    uint32_t rate;
    double seconds;
  } cases[] = {{"s16.wav", 2, 16, 44100, 1.3},
               {"m16.wav", 1, 16, 22050, 0.7},
               {"s8.wav", 2, 8, 11025, 0.9},
               {"m8.wav", 1, 8, 8000, 0.5},
               {"long.wav", 2, 16, 48000, 5.25}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = dir.File(c.name);
    ASSERT_TRUE(Sox("-n -r " + std::to_string(c.rate) + " -c " + std::to_string(c.channels) +
                    " -b " + std::to_string(c.bits) + " '" + path + "' synth " +
                    std::to_string(c.seconds) + " sine 300 sine 1234 vol 0.8"));
    std::vector<int16_t> expected = SoxSamples(path);
    ASSERT_FALSE(expected.empty());
    FileSound fs(path, 0);
    ASSERT_EQ(fs.loaded, 1);
    EXPECT_EQ(fs.sound->GetBuffer()->IsLoadedOnce(), c.seconds < 2.0 ? 1 : 0);
    EXPECT_EQ(fs.sound->Length(0), static_cast<long>(c.seconds * 1000 + 0.5));
    Render r = RenderPlayOnce(*fs.sound, Pcm(c.channels, c.rate, 16), 7000);
    EXPECT_EQ(r.lastResult, RENDER_ENDED);
    std::vector<int16_t> got = AsSamples(r.bytes);
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected);
    EXPECT_EQ(fs.sound->GetSourceBytesMixedInPlayOnceMode(),
              static_cast<uint64_t>(fs.file->DataSize()));
    EXPECT_EQ(fs.sound->FinishedWithPlayOnce(), 1);
  }
}

TEST(PCMSound, ChannelAndWidthConversionIntoTheDestination) {
  // Mono into stereo: both channels carry the source; stereo into mono: the
  // halves of left and right, each truncated toward zero.
  std::vector<int16_t> mono = {0, 1000, -1001, 32767, -32768, 7};
  MemSound m(MonoWav(mono, 8000));
  ASSERT_EQ(m.loaded, 1);
  std::vector<int16_t> stereo = AsSamples(RenderPlayOnce(*m.sound, Pcm(2, 8000, 16), 4000).bytes);
  ASSERT_EQ(stereo.size(), 12u);
  for (size_t i = 0; i < mono.size(); ++i) {
    EXPECT_EQ(stereo[2 * i], mono[i]);
    EXPECT_EQ(stereo[2 * i + 1], mono[i]);
  }

  std::vector<int16_t> pairs = {1001, -3, -32768, -32768, 32767, 32767, 5, 5};
  MemSound s(Riff(Chunk("fmt ", FmtData(1, 2, 8000, 16)) + Chunk("data", Pcm16(pairs))));
  ASSERT_EQ(s.loaded, 1);
  std::vector<int16_t> down = AsSamples(RenderPlayOnce(*s.sound, Pcm(1, 8000, 16), 4000).bytes);
  EXPECT_EQ(down, (std::vector<int16_t>{500 + -1, -32768, 32766, 4}));

  // 16-bit into an 8-bit destination is stored as (v >> 8) + 128.
  Render r8 = RenderPlayOnce(*m.sound, Pcm(1, 8000, 8), 4000);
  ASSERT_EQ(r8.bytes.size(), mono.size());
  for (size_t i = 0; i < mono.size(); ++i) EXPECT_EQ(r8.bytes[i], (mono[i] >> 8) + 128) << i;
}

TEST(PCMSound, HalfRateSourceIsInterpolatedBetweenFrames) {
  MemSound m(MonoWav({0, 1000, 2000, 3000}, 22050));
  ASSERT_EQ(m.loaded, 1);
  std::vector<int16_t> out = AsSamples(RenderPlayOnce(*m.sound, Pcm(1, 44100, 16), 1000).bytes);
  ASSERT_GE(out.size(), 7u);
  EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + 7),
            (std::vector<int16_t>{0, 0, 500, 1000, 1500, 2000, 2500}));
}

TEST(PCMSound, ResamplingKeepsTimeAcrossRingPieces) {
  // A streamed 11025 Hz source rendered at 44100 Hz in small chunks: four
  // output frames per source frame everywhere, including at every refill.
  TempDir dir;
  std::string path = dir.File("ramp.wav");
  const int frames = 11025 * 3;
  std::vector<int16_t> ramp(frames);
  for (int i = 0; i < frames; ++i) ramp[i] = static_cast<int16_t>((i % 2000) * 10);
  testsupport::WriteFile(path, MonoWav(ramp, 11025));
  FileSound fs(path, 0, 500);
  ASSERT_EQ(fs.loaded, 1);
  ASSERT_EQ(fs.sound->GetBuffer()->IsLoadedOnce(), 0);
  std::vector<int16_t> out = AsSamples(RenderPlayOnce(*fs.sound, Pcm(1, 44100, 16), 3000).bytes);
  ASSERT_NEAR(static_cast<double>(out.size()), frames * 4.0, 4.0);
  for (int i = 8; i + 8 < frames; i += 997) {
    // Output frame 4i + 3 lands exactly on source frame i.
    EXPECT_EQ(out[4 * i + 3], ramp[i]) << i;
  }
}

TEST(PCMSound, SaturatesWhenSoundsAddUp) {
  for (int16_t v : {int16_t{20000}, int16_t{-20000}}) {
    MemSound a(MonoWav({v, v}, 8000)), b(MonoWav({v, v}, 8000));
    ASSERT_TRUE(a.loaded && b.loaded);
    tWAVEFORMATEX f = Pcm(1, 8000, 16);
    int16_t frames[2] = {0, 0};
    for (CPCMSound* s : {a.sound, b.sound}) {
      s->SetPlayOnceMode(1);
      ASSERT_EQ(s->Load(0), 1);
      _bufferType buf{};
      buf.format = &f;
      buf.bufferBytes = sizeof frames;
      buf.data = reinterpret_cast<uint8_t*>(frames);
      long written = 0;
      s->ReadData(&buf, written);
      EXPECT_EQ(written, 4);
    }
    EXPECT_EQ(frames[0], v > 0 ? 32767 : -32768);
    EXPECT_EQ(frames[1], v > 0 ? 32767 : -32768);
  }
}

TEST(PCMSound, PanVolumeAndEnvelopeGains) {
  MemSound m(MonoWav(std::vector<int16_t>(8000, 10000), 8000));
  ASSERT_EQ(m.loaded, 1);
  m.sound->Volume(1.0);
  m.sound->Pan(0.5);
  EXPECT_EQ(m.sound->LeftGain(), 4096);
  EXPECT_EQ(m.sound->RightGain(), 8192);
  m.sound->Pan(-0.25);
  EXPECT_EQ(m.sound->LeftGain(), 8192);
  EXPECT_EQ(m.sound->RightGain(), 6144);

  // A normalisation factor on the source envelope survives being added to a
  // group, which rebuilds the effective envelope from it.
  m.sound->Pan(0.0);
  m.sound->GetSrcMap()->MultiplySimpleEvents(MAP_VOLUME, 0.5);
  std::vector<int16_t> half = AsSamples(RenderPlayOnce(*m.sound, Pcm(1, 8000, 16), 2000).bytes);
  ASSERT_EQ(half.size(), 8000u);
  EXPECT_EQ(half.front(), 5000);
  EXPECT_EQ(half.back(), 5000);

  // A volume ramp from 1.0 to 0.0 across the sound fades it out.
  m.sound->GetSrcMap()->RemoveAllSimpleEvents(MAP_VOLUME);
  m.sound->GetSrcMap()->AddSimpleEvent(MAP_VOLUME, 0, 1.0);
  m.sound->GetSrcMap()->AddSimpleEvent(MAP_VOLUME, 1000, 0.0);
  std::vector<int16_t> fade = AsSamples(RenderPlayOnce(*m.sound, Pcm(1, 8000, 16), 2000).bytes);
  ASSERT_EQ(fade.size(), 8000u);
  EXPECT_NEAR(fade[10], 10000, 200);
  EXPECT_NEAR(fade[4000], 5000, 350);
  EXPECT_LT(fade[7990], 400);
  for (size_t i = 1; i < fade.size(); ++i) ASSERT_LE(fade[i], fade[i - 1]) << i;
}

TEST(PCMSound, MutedSoundAddsNothing) {
  MemSound m(MonoWav(std::vector<int16_t>(100, 1234), 8000));
  ASSERT_EQ(m.loaded, 1);
  m.sound->Mute(1);
  Render r = RenderPlayOnce(*m.sound, Pcm(1, 8000, 16), 1000);
  ASSERT_EQ(r.bytes.size(), 200u);
  for (int16_t v : AsSamples(r.bytes)) ASSERT_EQ(v, 0);
}

// Analysis: loudest sample, silent ends, partial songs and trimming.
TEST(PCMSound, AnalysisFindsLevelTrimPointsAndPartialSongs) {
  TempDir dir;
  // 0.5 s silence, 1 s tone, 0.5 s silence.
  std::string padded = dir.File("padded.wav");
  ASSERT_TRUE(Sox("-n -r 44100 -c 2 -b 16 '" + padded + "' synth 1 sine 440 vol 0.5 pad 0.5 0.5"));
  FileSound fs(padded, 1);
  ASSERT_EQ(fs.loaded, 1);
  ASSERT_NE(fs.sound->GetPeaks(), nullptr);
  EXPECT_EQ(fs.sound->Length(0), 2000);
  EXPECT_EQ(fs.sound->IsTotalSilence(), 0);
  EXPECT_EQ(fs.sound->IsPartialSong(), 0);
  EXPECT_NEAR(fs.sound->GetAutoTrimTimeStart(), 500, 20);
  // The end is the end of the last loud slice.
  EXPECT_NEAR(fs.sound->GetAutoTrimTimeEnd(), 1500, 20);
  EXPECT_GE(fs.sound->GetAutoTrimTimeEnd(), 1500);
  double loudest =
      std::max(fs.sound->GetPeaks()->GetMaxLeft(), fs.sound->GetPeaks()->GetMaxRight());
  EXPECT_NEAR(loudest, 16384, 40);
  EXPECT_NEAR(fs.sound->GetNormalizedVolume(0.97), 0.97 * 32767 / loudest, 1e-9);

  // Trimming: the play-once read ends at the virtual length.
  fs.sound->SetVirtualLength(fs.sound->GetAutoTrimTimeEnd());
  fs.sound->SetAutoTrim(1);
  Render r = RenderPlayOnce(*fs.sound, Pcm(2, 44100, 16), 44100 * 4);
  EXPECT_EQ(r.bytes.size(), static_cast<size_t>(fs.sound->GetAutoTrimTimeEnd()) * 44100 / 1000 * 4);

  // Streamed the same way.
  FileSound streamed(padded, 1, 300);
  ASSERT_EQ(streamed.loaded, 1);
  ASSERT_EQ(streamed.sound->GetBuffer()->IsLoadedOnce(), 0);
  streamed.sound->SetVirtualLength(streamed.sound->GetAutoTrimTimeEnd());
  streamed.sound->SetAutoTrim(1);
  Render rs = RenderPlayOnce(*streamed.sound, Pcm(2, 44100, 16), 44100 * 4);
  EXPECT_EQ(rs.bytes.size(), r.bytes.size());

  // A tone to the very end is a partial song; silence is total silence.
  std::string abrupt = dir.File("abrupt.wav");
  ASSERT_TRUE(Sox("-n -r 22050 -c 1 -b 16 '" + abrupt + "' synth 0.8 sine 440 vol 0.7"));
  FileSound fa(abrupt, 1);
  ASSERT_EQ(fa.loaded, 1);
  EXPECT_EQ(fa.sound->IsPartialSong(), 1);
  EXPECT_EQ(fa.sound->GetAutoTrimTimeEnd(), 800);

  std::string silent = dir.File("silent.wav");
  ASSERT_TRUE(Sox("-n -r 8000 -c 1 -b 8 '" + silent + "' trim 0 0.4"));
  FileSound fz(silent, 1);
  ASSERT_EQ(fz.loaded, 1);
  EXPECT_EQ(fz.sound->IsTotalSilence(), 1);
  EXPECT_EQ(fz.sound->GetAutoTrimTimeStart(), fz.sound->GetAutoTrimTimeEnd());
  EXPECT_EQ(fz.sound->GetNormalizedVolume(0.97), 1.0);
}

TEST(PCMSound, WithoutAnalysisTheNormalisedVolumeIsUnity) {
  MemSound m(MonoWav({1, 2, 3}, 8000));
  ASSERT_EQ(m.loaded, 1);
  EXPECT_EQ(m.sound->GetPeaks(), nullptr);
  EXPECT_EQ(m.sound->GetNormalizedVolume(0.97), 1.0);
}

TEST(PCMSound, LengthsOfShortAndHourLongSources) {
  // 0.6 s: lengths are worked out in milliseconds before dividing.
  MemSound shortSound(MonoWav(std::vector<int16_t>(4800), 8000));
  ASSERT_EQ(shortSound.loaded, 1);
  EXPECT_EQ(shortSound.sound->Length(0), 600);
  EXPECT_EQ(shortSound.sound->DataLength(), 600);

  // 60 minutes of 48 kHz stereo, as a sparse file of silence.
  TempDir dir;
  std::string path = dir.File("hour.wav");
  const uint32_t dataBytes = 48000u * 4 * 3600;
  {
    std::string header = Riff(Chunk("fmt ", FmtData(1, 2, 48000, 16)) + "data" + Le32(dataBytes));
    header.replace(4, 4, Le32(static_cast<uint32_t>(header.size() - 8 + dataBytes)));
    std::ofstream out(path, std::ios::binary);
    out.write(header.data(), static_cast<std::streamsize>(header.size()));
    out.seekp(static_cast<std::streamoff>(header.size()) + dataBytes - 1);
    out.put('\0');
  }
  FileSound fs(path, 0);
  ASSERT_EQ(fs.loaded, 1);
  EXPECT_EQ(fs.sound->Length(0), 3600000);
  EXPECT_EQ(fs.sound->NumSamples(), 48000LL * 3600);
  CSoundGroup* group = new CSoundGroup;
  fs.sound->Add(group, 0);
  group->SetPlayOnceMode(1);
  ASSERT_EQ(fs.sound->Load(0), 1);
  EXPECT_GE(fs.sound->GetBuffer()->TotalBytesToRead(), dataBytes);
  // Skip ahead near the end and drain the rest: the progress count reaches
  // the whole data size without wrapping.
  ASSERT_EQ(fs.sound->GetBuffer()->SetReadVariables(dataBytes - 48000 * 4,
                                                    fs.sound->GetBuffer()->TotalBytesToRead()),
            1);
  tWAVEFORMATEX f = Pcm(2, 48000, 16);
  std::vector<uint8_t> chunk(192000);
  int result = RENDER_MORE, guard = 0;
  while (result == RENDER_MORE && ++guard < 10) {
    _bufferType b{};
    b.format = &f;
    b.bufferBytes = static_cast<uint32_t>(chunk.size());
    b.data = chunk.data();
    fs.sound->Idle(&f);
    long written = 0;
    result = fs.sound->ReadData(&b, written);
  }
  EXPECT_EQ(result, RENDER_ENDED);
  EXPECT_EQ(fs.sound->GetSourceBytesMixedInPlayOnceMode(), dataBytes);
  EXPECT_EQ(fs.sound->FinishedWithPlayOnce(), 1);
  fs.sound->Remove();
  CAudioAtom* atom = group;
  DeleteAtom(&atom);
}

TEST(PCMSound, SaveAsCopiesTheSourceAndReportsFailure) {
  TempDir dir;
  std::string wav = MonoWav(std::vector<int16_t>(3000, 77), 8000);
  MemSound m(wav, 1);
  ASSERT_EQ(m.loaded, 1);
  std::vector<long> reports;
  auto progress = [](long percent, unsigned long user) {
    reinterpret_cast<std::vector<long>*>(user)->push_back(percent);
  };
  std::string target = dir.File("copy.wav");
  ASSERT_EQ(m.sound->SaveAs(target.c_str(), progress, reinterpret_cast<unsigned long>(&reports)),
            1);
  EXPECT_EQ(testsupport::ReadFile(target), wav);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(reports.back(), 100);
  // The analysis travels along as the copy's peak file.
  CPeaks peaks;
  EXPECT_EQ(peaks.LoadPeaksFromFile(CInitialLoad::CacheFilePath(target, ".ipk").c_str(), 0), 1);
  EXPECT_EQ(peaks.NumMilsPerPeak(), 20u);

  EXPECT_EQ(m.sound->SaveAs(dir.File("no/such/dir/x.wav").c_str(), nullptr, 0), 0);

  // A file source is moved to the new name.
  std::string original = dir.File("orig.wav");
  testsupport::WriteFile(original, wav);
  {
    FileSound fs(original, 0);
    ASSERT_EQ(fs.loaded, 1);
    std::string moved = dir.File("moved.wav");
    ASSERT_EQ(fs.sound->SaveAs(moved.c_str(), nullptr, 0), 1);
    EXPECT_EQ(testsupport::ReadFile(moved), wav);
    EXPECT_FALSE(std::ifstream(original).good());
  }
}

TEST(PCMSound, CopiesShareTheDataAndPlayAlike) {
  MemSound m(MonoWav({5, 6, 7, 8, 9, 10, 11, 12}, 8000), 1);
  ASSERT_EQ(m.loaded, 1);
  CAudioAtom* copy = m.sound->Copy();
  ASSERT_NE(copy, nullptr);
  auto* sound = static_cast<CPCMSound*>(copy);
  EXPECT_EQ(sound->Length(0), m.sound->Length(0));
  EXPECT_NE(sound->GetPeaks(), nullptr);
  std::vector<int16_t> a = AsSamples(RenderPlayOnce(*m.sound, Pcm(1, 8000, 16), 100).bytes);
  std::vector<int16_t> b = AsSamples(RenderPlayOnce(*sound, Pcm(1, 8000, 16), 100).bytes);
  EXPECT_EQ(a, b);
  EXPECT_EQ(a.size(), 8u);
  DeleteAtom(&copy);
  EXPECT_EQ(copy, nullptr);
}

TEST(PCMSound, PlayBeyondTheLengthIsRefused) {
  MemSound m(MonoWav(std::vector<int16_t>(800), 8000));
  ASSERT_EQ(m.loaded, 1);
  EXPECT_EQ(m.sound->Play(101), 0);
}
