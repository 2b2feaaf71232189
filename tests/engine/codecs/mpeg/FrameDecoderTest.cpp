// CFrameDecoder on good, short and damaged frames: silence of the right
// length on failure, nothing written past the frame's samples, no reads past
// the frame (the sanitizer build checks that).
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "engine/codecs/mpeg/FrameDecoder.h"
#include "tests/TestSupport.h"
#include "tests/engine/codecs/mpeg/MpegTestStreams.h"

namespace {

using namespace mpegaudio;

std::string Vector(const std::string& name) { return mpegtest::ReadStreamFile(name); }

TEST(MpegFrameDecoder, ShortOrInconsistentFramesGiveSilenceOfTheFrameLength) {
  std::string data = Vector("l2-fl16.bit");
  ASSERT_FALSE(data.empty());
  const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data());
  FrameHeader h;
  ASSERT_TRUE(ParseFrameHeader(p, &h));
  ASSERT_EQ(h.layer, 2);
  const size_t samples = size_t(h.samplesPerFrame * h.channels);

  CFrameDecoder decoder;
  std::vector<int16_t> pcm(kMaxFrameSamples + 16, 7);
  ASSERT_EQ(decoder.DecodeFrame(h, p, data.size(), pcm.data()), kFrameOk);

  // A buffer shorter than the header says: refused without reading it.
  std::vector<uint8_t> cut(p, p + h.frameBytes / 2);
  std::fill(pcm.begin(), pcm.end(), 7);
  EXPECT_EQ(decoder.DecodeFrame(h, cut.data(), cut.size(), pcm.data()), kFrameBadData);
  for (size_t i = 0; i < samples; ++i) ASSERT_EQ(pcm[i], 0) << i;
  for (size_t i = samples; i < pcm.size(); ++i) ASSERT_EQ(pcm[i], 7) << i;

  // A header claiming a frame too small for its bit allocation.
  FrameHeader tiny = h;
  tiny.frameBytes = 40;
  EXPECT_EQ(decoder.DecodeFrame(tiny, p, data.size(), pcm.data()), kFrameBadData);
  for (size_t i = 0; i < samples; ++i) ASSERT_EQ(pcm[i], 0) << i;

  // Free format not yet measured, and a header record that is not a header.
  FrameHeader unmeasured = h;
  unmeasured.frameBytes = 0;
  EXPECT_EQ(decoder.DecodeFrame(unmeasured, p, data.size(), pcm.data()), kFrameBadData);
  FrameHeader garbage;
  garbage.frameBytes = 100;
  EXPECT_EQ(decoder.DecodeFrame(garbage, p, data.size(), pcm.data()), kFrameBadData);

  // Decoding resumes normally afterwards.
  EXPECT_EQ(decoder.DecodeFrame(h, p, data.size(), pcm.data()), kFrameOk);
}

TEST(MpegFrameDecoder, CrcMismatchIsCountedAndTheFrameStillPlayed) {
  std::string data = Vector("l1-fl1.bit");
  ASSERT_FALSE(data.empty());
  std::vector<uint8_t> frame(data.begin(), data.end());
  FrameHeader h;
  ASSERT_TRUE(ParseFrameHeader(frame.data(), &h));
  ASSERT_EQ(h.protection, 1);
  std::vector<int16_t> good(kMaxFrameSamples), damaged(kMaxFrameSamples);
  CFrameDecoder decoder;
  ASSERT_EQ(decoder.DecodeFrame(h, frame.data(), frame.size(), good.data()), kFrameOk);
  EXPECT_EQ(decoder.CrcErrors(), 0);

  decoder.Reset();
  frame[4] ^= 0x01;  // the CRC word itself
  EXPECT_EQ(decoder.DecodeFrame(h, frame.data(), frame.size(), damaged.data()), kFrameOk);
  EXPECT_EQ(decoder.CrcErrors(), 1);
  EXPECT_EQ(good, damaged);
  decoder.Reset();
  EXPECT_EQ(decoder.CrcErrors(), 0);
}

TEST(MpegFrameDecoder, RandomlyDamagedLayerOneAndTwoStreamsDecodeSafely) {
  // Bytes overwritten at random in whole streams: every frame still yields
  // its full length of samples, and nothing crashes or reads out of bounds.
  std::mt19937 rng(2024);
  for (const char* name : {"l1-fl7.bit", "l2-fl16.bit", "l2-test32.bit", "l1-fl4.bit"}) {
    SCOPED_TRACE(name);
    const std::string original = Vector(name);
    ASSERT_FALSE(original.empty());
    for (int round = 0; round < 12; ++round) {
      std::string damaged = original;
      const int hits = 1 + int(rng() % 200);
      for (int i = 0; i < hits; ++i) damaged[rng() % damaged.size()] = char(rng());
      if (round % 3 == 0) damaged.resize(rng() % damaged.size());
      mpegtest::Decoded r = mpegtest::DecodeFrames(damaged);
      EXPECT_EQ(r.pcm.size() % 384, 0u);
    }
  }
}

}  // namespace
