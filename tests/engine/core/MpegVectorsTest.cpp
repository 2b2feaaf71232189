// Every MPEG test stream through the engine as a conversion takes it: the
// sound loads it (stream information, the decoding object, the scan for
// length, seek map and peaks) and renders it once at its own shape. The
// conformance streams come out as their references; every other stream loads
// or is refused without harm.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/PCMSound.h"
#include "platform/data/FileObj.h"
#include "tests/TestSupport.h"
#include "tests/engine/codecs/mpeg/MpegTestStreams.h"
#include "tests/engine/core/SoundTestSupport.h"

using namespace mpegtest;

namespace {

struct Played {
  int loaded = 0;
  long lengthMs = 0;
  int channels = 0;
  int rate = 0;
  std::vector<int16_t> pcm;
};

Played Play(const std::string& path) {
  Played p;
  CFileObj* file = new CFileObj;
  CPCMSound* sound = new CPCMSound;
  if (file->Open(path, 0, 0)) {
    p.loaded = sound->InitialLoad(file, 2000, 0, 1, 0, 1, 20, nullptr, nullptr);
    if (p.loaded) {
      const tWAVEFORMATEX* f = sound->Format();
      p.channels = f->nChannels;
      p.rate = static_cast<int>(f->nSamplesPerSec);
      p.lengthMs = sound->Length(0);
      p.pcm = soundtest::AsSamples(
          soundtest::RenderPlayOnce(*sound, soundtest::Pcm(f->nChannels, f->nSamplesPerSec, 16),
                                    8192)
              .bytes);
    }
  }
  CAudioAtom* atom = sound;
  DeleteAtom(&atom);
  CRefObj* obj = file;
  DeleteRefObject(&obj);
  return p;
}

}  // namespace

// Leading samples that are zero.
size_t LeadingSilence(const std::vector<int16_t>& s) {
  size_t n = 0;
  while (n < s.size() && s[n] == 0) ++n;
  return n;
}

TEST(MpegVectorsThroughTheEngine, EveryStreamLoadsAndTheConformanceStreamsMatch) {
  testsupport::TempDir dir;
  std::vector<std::string> files;
  for (const std::string& name : ListStreams()) files.push_back(name + ".bit");
  files.push_back("fuzz/l3-compl-cut.mp3");
  int compared = 0;
  for (const std::string& file : files) {
    SCOPED_TRACE(file);
    // The loader takes MPEG audio by the file's extension.
    const std::string path = dir.File("stream.mp3");
    ASSERT_TRUE(testsupport::WriteFile(path, ReadStreamFile(file)));
    Played p = Play(path);
    std::printf("%-44s loaded %d  %5ld ms  %d ch %5d Hz  %8zu samples\n", file.c_str(), p.loaded,
                p.lengthMs, p.channels, p.rate, p.pcm.size());
    const std::string name = file.substr(0, file.size() - 4);
    // l3-he_mode switches between mono and stereo: its own test below.
    if (!file.ends_with(".bit") || !IsConformance(name) || name == "l3-he_mode") continue;
    ++compared;
    ASSERT_EQ(p.loaded, 1);
    const std::vector<int16_t> ref = Reference(name);
    std::vector<int16_t> got = p.pcm;
    // A layer III stream that begins with frames whose main data lay before
    // it gives a frame of silence for each (as mpg123 does), where the
    // reference leaves them out.
    const size_t frame = size_t(ConformanceLayer(name) == 3 ? 1152 : 0) * size_t(p.channels);
    const size_t extra = LeadingSilence(got) - std::min(LeadingSilence(got), LeadingSilence(ref));
    if (frame && extra >= frame) {
      const size_t drop = std::min<size_t>(extra / frame, 2) * frame;
      got.erase(got.begin(), got.begin() + std::ptrdiff_t(drop));
    }
    ExpectConformanceLength(got, ref, ConformanceLayer(name));
    EXPECT_GE(Psnr(got, ref), 96.0);
    // The sound's length is that of what it renders.
    EXPECT_NEAR(p.lengthMs, double(p.pcm.size()) / p.channels * 1000 / p.rate, 30.0);
  }
  EXPECT_GT(compared, 30);
}

// A stream of one frame has no header after it to confirm its own: the
// engine decodes it all the same, through the scan and through playback.
TEST(MpegVectorsThroughTheEngine, SingleFrameStreamsPlay) {
  testsupport::TempDir dir;
  for (const char* name :
       {"ILL2_mono", "ILL2_dual", "l3-nonstandard-id3v1", "l3-nonstandard-id3v2",
        "l3-nonstandard-apetag", "l3-nonstandard-id3v1-apetag", "l3-nonstandard-vbrtag-oob-read"}) {
    SCOPED_TRACE(name);
    const std::string path = dir.File("stream.mp3");
    ASSERT_TRUE(testsupport::WriteFile(path, ReadStreamFile(std::string(name) + ".bit")));
    Played p = Play(path);
    ASSERT_EQ(p.loaded, 1);
    const std::vector<int16_t> ref = Reference(name);
    ASSERT_FALSE(ref.empty());
    EXPECT_EQ(p.pcm.size(), ref.size());
    EXPECT_GE(Psnr(p.pcm, ref), 96.0);
    EXPECT_NEAR(p.lengthMs, double(ref.size()) / p.channels * 1000 / p.rate, 2.0);
  }
}

// l3-he_mode switches between mono and stereo frames. The sound keeps the
// first frame's shape (mono), so each stereo frame comes out as the mean of
// its channels; the reference holds every frame in its own shape.
TEST(MpegVectorsThroughTheEngine, ChannelChangesMixIntoTheFirstFramesShape) {
  testsupport::TempDir dir;
  const std::string bytes = ReadStreamFile("l3-he_mode.bit");
  const std::string path = dir.File("stream.mp3");
  ASSERT_TRUE(testsupport::WriteFile(path, bytes));
  Played p = Play(path);
  ASSERT_EQ(p.loaded, 1);
  const std::vector<FrameSpan> frames = FindFrames(bytes);
  ASSERT_FALSE(frames.empty());
  ASSERT_EQ(frames.front().h.mode, 3);
  const std::vector<int16_t> ref = Reference("l3-he_mode");
  std::vector<int16_t> expected;
  size_t at = 0, stereoFrames = 0;
  for (const FrameSpan& f : frames) {
    const size_t channels = f.h.mode == 3 ? 1 : 2;
    if (channels == 2) ++stereoFrames;
    for (size_t i = 0; i < 1152 && at + channels <= ref.size(); ++i, at += channels)
      expected.push_back(channels == 1 ? ref[at]
                                       : static_cast<int16_t>(ref[at] / 2 + ref[at + 1] / 2));
  }
  ASSERT_EQ(at, ref.size()) << "the reference holds every frame in its own shape";
  EXPECT_GT(stereoFrames, 10u);
  EXPECT_EQ(p.channels, 1);
  EXPECT_EQ(p.pcm.size(), expected.size());
  EXPECT_GE(Psnr(p.pcm, expected), 90.0);
}
