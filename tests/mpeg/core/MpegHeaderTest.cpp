// Header parsing, frame sizes, free-format measurement and the CRC.
#include <gtest/gtest.h>

#include <vector>

#include "engine/codecs/mpeg/MpegHeader.h"
#include "tests/TestSupport.h"

namespace {

using namespace mpegaudio;

// version bits: 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5; layer 1..3.
uint32_t Word(int version, int layer, int bitrateIndex, int rateIndex, int padding = 0,
              int mode = 0, int protectedFrame = 0) {
  return (0x7FFu << 21) | (uint32_t(version) << 19) | (uint32_t(4 - layer) << 17) |
         (uint32_t(protectedFrame ? 0 : 1) << 16) | (uint32_t(bitrateIndex) << 12) |
         (uint32_t(rateIndex) << 10) | (uint32_t(padding) << 9) | (uint32_t(mode) << 6);
}

TEST(MpegHeader, EveryBitrateAndSampleRateGivesTheKnownFrameSize) {
  // Bit rates written out once more, independently of the decoder's tables.
  const int mpeg1[3][15] = {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                            {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                            {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}};
  const int lsf1[15] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256};
  const int lsf23[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
  const int rates[3][3] = {{44100, 48000, 32000}, {22050, 24000, 16000}, {11025, 12000, 8000}};
  const int versions[3] = {3, 2, 0};
  for (int v = 0; v < 3; ++v) {
    for (int layer = 1; layer <= 3; ++layer) {
      for (int bi = 1; bi < 15; ++bi) {
        for (int ri = 0; ri < 3; ++ri) {
          for (int pad = 0; pad < 2; ++pad) {
            FrameHeader h;
            ASSERT_TRUE(ParseFrameHeader(Word(versions[v], layer, bi, ri, pad), &h));
            int kbps = v == 0 ? mpeg1[layer - 1][bi] : layer == 1 ? lsf1[bi] : lsf23[bi];
            int rate = rates[v][ri];
            int expected = layer == 1              ? (12000 * kbps / rate + pad) * 4
                           : (layer == 3 && v > 0) ? 72000 * kbps / rate + pad
                                                   : 144000 * kbps / rate + pad;
            EXPECT_EQ(h.bitrateKbps, kbps);
            EXPECT_EQ(h.sampleRate, rate);
            EXPECT_EQ(h.frameBytes, expected)
                << "v" << v << " L" << layer << " b" << bi << " r" << ri;
            EXPECT_EQ(h.samplesPerFrame, layer == 1 ? 384 : (layer == 3 && v > 0) ? 576 : 1152);
            EXPECT_EQ(h.lsf, v > 0 ? 1 : 0);
            EXPECT_EQ(h.mpeg25, v == 2 ? 1 : 0);
          }
        }
      }
    }
  }
  // A few sizes everyone knows.
  FrameHeader h;
  ASSERT_TRUE(ParseFrameHeader(0xFFFB9064u, &h));  // MPEG-1 layer III 128 kbit/s 44.1 kHz
  EXPECT_EQ(h.frameBytes, 417);
  EXPECT_EQ(h.mode, kModeJointStereo);
  EXPECT_EQ(h.channels, 2);
  ASSERT_TRUE(ParseFrameHeader(0xFFFB9264u, &h));
  EXPECT_EQ(h.frameBytes, 418);
  ASSERT_TRUE(ParseFrameHeader(0xFFFDC4C0u, &h));  // layer II 256 kbit/s 48 kHz mono
  EXPECT_EQ(h.frameBytes, 768);
  EXPECT_EQ(h.channels, 1);
  EXPECT_EQ(h.protection, 0);
}

TEST(MpegHeader, ReservedAndBrokenHeadersAreRejected) {
  FrameHeader h;
  EXPECT_TRUE(ParseFrameHeader(Word(3, 2, 8, 0), &h));
  EXPECT_FALSE(ParseFrameHeader(Word(3, 2, 8, 0) & ~(1u << 22), &h));  // sync incomplete
  EXPECT_FALSE(ParseFrameHeader(Word(1, 2, 8, 0), &h));                // reserved version
  EXPECT_FALSE(ParseFrameHeader(Word(3, 2, 8, 0) & ~(3u << 17), &h));  // reserved layer
  EXPECT_FALSE(ParseFrameHeader(Word(3, 2, 15, 0), &h));               // bad bit rate
  EXPECT_FALSE(ParseFrameHeader(Word(3, 2, 8, 3), &h));                // reserved sample rate
  EXPECT_FALSE(ParseFrameHeader(Word(3, 2, 8, 0) | 2u, &h));           // reserved emphasis
  EXPECT_FALSE(ParseFrameHeader(0u, &h));
  // A refused word leaves the header as it was.
  EXPECT_EQ(h.word, Word(3, 2, 8, 0));

  // Described anyway, a word keeps what its bits say; what a reserved field
  // decides is 0, and no frame size is given.
  EXPECT_FALSE(DescribeHeaderWord(Word(3, 2, 8, 0) | 0x102u, &h));  // private bit, emphasis 2
  EXPECT_EQ(h.sync, 0x7FF);
  EXPECT_EQ(h.privateBit, 1);
  EXPECT_EQ(h.bitrateKbps, 128);
  EXPECT_EQ(h.sampleRate, 44100);
  EXPECT_EQ(h.frameBytes, 0);
  EXPECT_FALSE(DescribeHeaderWord(Word(1, 3, 15, 1), &h));  // reserved version, bad bit rate
  EXPECT_EQ(h.version, 1);
  EXPECT_EQ(h.bitrateKbps, 0);
  EXPECT_EQ(h.sampleRate, 0);
  EXPECT_EQ(h.samplesPerFrame, 576);
  EXPECT_FALSE(DescribeHeaderWord(Word(3, 2, 8, 0) & ~(3u << 17), &h));
  EXPECT_EQ(h.layer, 4);
  EXPECT_EQ(h.bitrateKbps, 0);
  EXPECT_EQ(h.samplesPerFrame, 0);
  EXPECT_TRUE(DescribeHeaderWord(Word(3, 2, 8, 0, 1), &h));
  EXPECT_EQ(h.frameBytes, 418);  // 128 kbit/s at 44100 Hz with padding
}

TEST(MpegHeader, CompatibilityFollowsVersionLayerRateAndFreeFormat) {
  FrameHeader a, b;
  ASSERT_TRUE(ParseFrameHeader(Word(3, 2, 8, 0, 0, 0), &a));
  ASSERT_TRUE(ParseFrameHeader(Word(3, 2, 12, 0, 1, 3), &b));  // other rate, padding, mono
  EXPECT_TRUE(HeadersCompatible(a, b));
  ASSERT_TRUE(ParseFrameHeader(Word(3, 2, 8, 1), &b));
  EXPECT_FALSE(HeadersCompatible(a, b));
  ASSERT_TRUE(ParseFrameHeader(Word(3, 3, 8, 0), &b));
  EXPECT_FALSE(HeadersCompatible(a, b));
  ASSERT_TRUE(ParseFrameHeader(Word(2, 2, 8, 0), &b));
  EXPECT_FALSE(HeadersCompatible(a, b));
  ASSERT_TRUE(ParseFrameHeader(Word(0, 2, 8, 0), &b));
  EXPECT_FALSE(HeadersCompatible(a, b));
  ASSERT_TRUE(ParseFrameHeader(Word(3, 2, 0, 0), &b));
  EXPECT_FALSE(HeadersCompatible(a, b));
}

TEST(MpegHeader, FreeFormatSizeIsMeasuredToTheNextMatchingHeader) {
  // Three free-format layer II frames of 600 bytes (the second padded to
  // 601), with a stray sync pattern and a non-matching header in between.
  const uint32_t w = Word(3, 2, 0, 1, 0, 0);
  std::vector<uint8_t> buf(600 + 601 + 600, 0x55);
  auto put = [&](size_t at, uint32_t word) {
    buf[at] = uint8_t(word >> 24);
    buf[at + 1] = uint8_t(word >> 16);
    buf[at + 2] = uint8_t(word >> 8);
    buf[at + 3] = uint8_t(word);
  };
  put(0, w);
  put(100, Word(3, 2, 5, 1));  // a regular header: does not continue a free-format stream
  put(250, w);                 // free-format pattern, but no header follows it at 500
  put(600, w | (1u << 9));     // padded
  put(1201, w);
  FrameHeader h;
  ASSERT_TRUE(ParseFrameHeader(buf.data(), &h));
  EXPECT_EQ(h.frameBytes, 0);
  int size = MeasureFreeFormat(buf.data(), buf.size(), h);
  EXPECT_EQ(size, 600);
  ApplyFreeFormatSize(&h, size);
  EXPECT_EQ(h.frameBytes, 600);
  EXPECT_EQ(h.bitrateKbps, 200);  // 600 bytes * 8 * 48000 / 1152

  FrameHeader padded;
  ASSERT_TRUE(ParseFrameHeader(buf.data() + 600, &padded));
  EXPECT_EQ(MeasureFreeFormat(buf.data() + 600, buf.size() - 600, padded), 600);
  ApplyFreeFormatSize(&padded, 600);
  EXPECT_EQ(padded.frameBytes, 601);

  EXPECT_EQ(MeasureFreeFormat(buf.data(), 240, h), 0);  // no second header in view
}

TEST(MpegHeader, CrcMatchesProtectedConformanceFramesAndCatchesDamage) {
  std::string data = testsupport::ReadFile(testsupport::VectorsDir() + "/mpeg/l1-fl1.bit");
  if (data.size() < 576) GTEST_SKIP() << "conformance vectors missing";
  std::vector<uint8_t> frame(data.begin(), data.begin() + 576);
  FrameHeader h;
  ASSERT_TRUE(ParseFrameHeader(frame.data(), &h));
  ASSERT_EQ(h.protection, 1);
  ASSERT_EQ(h.layer, 1);
  const int bits =
      h.channels == 1 ? 128 : 256;  // layer I: 4 allocation bits per subband and channel
  EXPECT_TRUE(CheckFrameCrc(frame.data(), frame.size(), bits));
  frame[8] ^= 0x10;
  EXPECT_FALSE(CheckFrameCrc(frame.data(), frame.size(), bits));
  frame[8] ^= 0x10;
  frame[3] ^= 0x01;  // the last header bits are covered too
  EXPECT_FALSE(CheckFrameCrc(frame.data(), frame.size(), bits));
  EXPECT_FALSE(CheckFrameCrc(frame.data(), 10, bits));  // too short to hold the protected bits
}

}  // namespace
