// Streams whose level, layer or mode change mid-stream keep decoding and
// report each change through the properties; the status block's bit rate
// and times; the ID3v2 handling when the input opens.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/codecs/mpeg/FileInput.h"
#include "engine/codecs/mpeg/MpegCodec.h"
#include "engine/codecs/mpeg/MpegDecoder.h"
#include "tests/TestSupport.h"
#include "tests/engine/codecs/mpeg/MpegTestStreams.h"

using mpegtest::Decode;
using mpegtest::Decoded;
using namespace mpegaudio;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

std::string Vector(const std::string& name) { return mpegtest::StreamPath(name); }

}  // namespace

TEST(MpegFormatChange, LevelLayerAndModeChangesAreReportedAndDecodingGoesOn) {
  std::string a = mpegtest::ReadStreamFile("l3-compl.bit");      // MPEG-1 layer III
  std::string b = mpegtest::ReadStreamFile("M2L3_compl24.bit");  // MPEG-2 layer III
  std::string c = mpegtest::ReadStreamFile("l2-fl10.bit");       // MPEG-1 layer II
  ASSERT_FALSE(a.empty() || b.empty() || c.empty());
  // l3-compl ends in a cut frame, which would take in the start of the next
  // part; its whole frames are 192 bytes each.
  a.resize(a.size() / 192 * 192);
  TempDir dir;
  ASSERT_TRUE(testsupport::WriteFile(dir.File("mixed.mp3"), a + b + c));
  ASSERT_TRUE(testsupport::WriteFile(dir.File("a.mp3"), a));
  Decoded mixed = Decode(dir.File("mixed.mp3"));
  Decoded ra = Decode(dir.File("a.mp3"));
  Decoded rb = Decode(Vector("M2L3_compl24.bit"));
  Decoded rc = Decode(Vector("l2-fl10.bit"));
  EXPECT_EQ(mixed.endResult, kMpegErrorEndOfInput);
  EXPECT_EQ(mixed.frames, ra.frames + rb.frames + rc.frames);
  ASSERT_GE(mixed.formats.size(), 3u);
  EXPECT_EQ(mixed.formats.front().substr(0, 4), "1/3/");
  bool sawLevel2 = false, sawLayer2 = false;
  for (const std::string& f : mixed.formats) {
    sawLevel2 |= f.rfind("2/3/", 0) == 0;
    sawLayer2 |= f.rfind("1/2/", 0) == 0;
  }
  EXPECT_TRUE(sawLevel2);
  EXPECT_TRUE(sawLayer2);
  EXPECT_EQ(mixed.formats.back().substr(0, 4), "1/2/");
  // Each part decodes exactly as alone: a new sample rate starts from a clean
  // decoder, without the old rate's reservoir, overlap or filter history.
  ASSERT_EQ(mixed.pcm.size(), ra.pcm.size() + rb.pcm.size() + rc.pcm.size());
  auto at = mixed.pcm.begin();
  EXPECT_TRUE(std::equal(ra.pcm.begin(), ra.pcm.end(), at));
  at += std::ptrdiff_t(ra.pcm.size());
  EXPECT_TRUE(std::equal(rb.pcm.begin(), rb.pcm.end(), at));
  at += std::ptrdiff_t(rb.pcm.size());
  EXPECT_TRUE(std::equal(rc.pcm.begin(), rc.pcm.end(), at));

  // Mode changes within one stream.
  Decoded modes = Decode(Vector("l3-he_mode.bit"));
  EXPECT_GE(modes.formats.size(), 2u);
}

TEST(MpegFormatChange, BitRateIsSmoothedAndTimesFollowTheBytes) {
  std::string path = Vector("l3-compl.bit");
  ASSERT_FALSE(mpegtest::ReadStreamFile("l3-compl.bit").empty());
  Decoded r = Decode(path);
  ASSERT_GT(r.bitrates.size(), 10u);
  for (int b : r.bitrates) EXPECT_GT(b, 0);
  // Elapsed time grows, remaining time shrinks to (nearly) nothing.
  for (size_t i = 1; i < r.elapsedMs.size(); ++i) {
    EXPECT_GE(r.elapsedMs[i], r.elapsedMs[i - 1]);
    EXPECT_LE(r.remainingMs[i], r.remainingMs[i - 1] + 50);
  }
  EXPECT_LT(r.remainingMs.back(), 100);
  int64_t size = int64_t(ReadFile(path).size());
  EXPECT_NEAR(double(r.elapsedMs.back()), double(size) * 8 / r.bitrates.back(),
              double(r.elapsedMs.back()) * 0.2);

  // The smoothing formula itself: a step from 128 to 320 kbit/s approaches 320.
  int64_t avg = 128 << 10;
  for (int i = 0; i < 200; ++i) avg = CMpegCodec::SmoothBitrate(avg, 320);
  EXPECT_NEAR(double(avg) / 1024, 320.0, 0.6);
  EXPECT_EQ(CMpegCodec::SmoothBitrate(128 << 10, 128), 128 << 10);
}

TEST(MpegFormatChange, Id3v2TagIsSkippedAndAnOversizedOneMeansNoAudio) {
  std::string audio = mpegtest::ReadStreamFile("l2-test32.bit");
  ASSERT_FALSE(audio.empty());
  TempDir dir;
  // A 300-byte tag full of sync patterns.
  std::string tag = std::string("ID3\x04\x00\x00\x00\x00\x02\x2c", 10) + std::string(300, '\xff');
  ASSERT_TRUE(testsupport::WriteFile(dir.File("tagged.mp2"), tag + audio));
  Decoded plain = Decode(Vector("l2-test32.bit"));
  Decoded tagged = Decode(dir.File("tagged.mp2"));
  EXPECT_EQ(tagged.pcm, plain.pcm);

  // The layer is known as soon as the input is open.
  MpegDecoder* d = nullptr;
  ASSERT_EQ(MpegDecoderCreate(&d), kMpegOk);
  MpegDecoderRegisterCodec(d, MpegCodecModuleDescriptor());
  MpegDecoderRegisterInput(d, MpegFileInputModule());
  std::vector<int> states;
  MpegDecoderSetStatusCallback(
      d,
      [](void* user, const MpegStatusBlock* s) {
        static_cast<std::vector<int>*>(user)->push_back(s->state);
      },
      &states);
  ASSERT_EQ(MpegDecoderSelectInput(d, dir.File("tagged.mp2").c_str(), -1), kMpegOk);
  ASSERT_EQ(MpegDecoderOpenInput(d), kMpegOk);
  EXPECT_EQ(states, std::vector<int>{kMpegInputOpen}) << "opening is reported";
  EXPECT_EQ(MpegDecoderStatus(d)->size, int64_t(tag.size() + audio.size()));
  int64_t layer = 0;
  EXPECT_EQ(MpegDecoderGetPropertyInteger(d, kPropertyMpegLayer, &layer), kMpegOk);
  EXPECT_EQ(layer, 2);
  EXPECT_EQ(MpegDecoderStatus(d)->state, kMpegInputOpen);
  // Closing and reopening restarts the stream from its beginning.
  ASSERT_EQ(MpegDecoderDecodeFrame(d), kMpegOk);
  std::vector<int16_t> first(MpegDecoderOutput(d)->samples, MpegDecoderOutput(d)->samples + 2304);
  ASSERT_EQ(MpegDecoderDecodeFrame(d), kMpegOk);
  ASSERT_EQ(MpegDecoderCloseInput(d), kMpegOk);
  ASSERT_EQ(MpegDecoderOpenInput(d), kMpegOk);
  ASSERT_EQ(MpegDecoderDecodeFrame(d), kMpegOk);
  EXPECT_EQ(MpegDecoderStatus(d)->frame, 1);
  EXPECT_TRUE(std::equal(first.begin(), first.end(), MpegDecoderOutput(d)->samples));
  MpegDecoderDestroy(&d);

  // A tag that claims more bytes than the file holds leaves no stream.
  std::string huge = std::string("ID3\x04\x00\x00\x7f\x7f\x7f\x7f", 10);
  ASSERT_TRUE(testsupport::WriteFile(dir.File("huge.mp2"), huge + audio));
  Decoded none = Decode(dir.File("huge.mp2"));
  EXPECT_TRUE(none.pcm.empty());
  EXPECT_EQ(none.endResult, kMpegErrorEndOfInput);
}
