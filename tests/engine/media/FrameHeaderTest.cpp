#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "engine/media/FrameHeader.h"
#include "engine/media/VBitRate.h"

namespace {

// A header word from its fields: version index (3 MPEG-1, 2 MPEG-2, 0 MPEG 2.5),
// layer (1-3), bit-rate index, sample-rate index, padding, mode, emphasis.
CFrameHeader Header(int version, int layer, int bitrate, int rate, int padding = 0, int mode = 0,
                    int emphasis = 0) {
  CFrameHeader h;
  h.header = 0xFFE00000u | (uint32_t(version) << 19) | (uint32_t(4 - layer) << 17) | (1u << 16) |
             (uint32_t(bitrate) << 12) | (uint32_t(rate) << 10) | (uint32_t(padding) << 9) |
             (uint32_t(mode) << 6) | uint32_t(emphasis);
  return h;
}

}  // namespace

TEST(FrameHeader, FieldsAndTables) {
  CFrameHeader h;
  const char bytes[4] = {'\xFF', '\xFB', '\x92', '\x64'};
  h.loadHeader(bytes);
  EXPECT_EQ(h.header, 0xFFFB9264u);
  EXPECT_EQ(h.getFrameSync(), 0x7FF);
  EXPECT_EQ(h.getVersionIndex(), 3);
  EXPECT_EQ(h.getLayer(), 3);
  EXPECT_EQ(h.getProtectionBit(), 1);
  EXPECT_EQ(h.getBitrate(), 128);
  EXPECT_EQ(h.getFrequency(), 44100);
  EXPECT_EQ(h.getPaddingBit(), 1);
  EXPECT_EQ(h.getModeIndex(), 1);
  EXPECT_EQ(h.getModeExtIndex(), 2);
  EXPECT_EQ(h.getCoprightBit(), 0);
  EXPECT_EQ(h.getOrginalBit(), 1);
  EXPECT_EQ(h.isValidHeader(), 1);
  char mode[CFrameHeader::kModeTextSize];
  h.getMode(mode);
  EXPECT_STREQ(mode, "Joint Stereo");
  Header(3, 3, 9, 0, 0, 3).getMode(mode);
  EXPECT_STREQ(mode, "Single Channel");

  // The top of each bit-rate table and the sample rates of every version.
  EXPECT_EQ(Header(3, 1, 14, 0).getBitrate(), 448);
  EXPECT_EQ(Header(3, 2, 14, 0).getBitrate(), 384);
  EXPECT_EQ(Header(3, 3, 14, 0).getBitrate(), 320);
  EXPECT_EQ(Header(2, 1, 14, 0).getBitrate(), 256);
  EXPECT_EQ(Header(2, 2, 1, 0).getBitrate(), 8);
  EXPECT_EQ(Header(0, 3, 14, 0).getBitrate(), 160);
  EXPECT_EQ(Header(3, 3, 0, 0).getBitrate(), 0);
  EXPECT_EQ(Header(3, 3, 15, 0).getBitrate(), 0);
  EXPECT_EQ(Header(3, 3, 9, 2).getFrequency(), 32000);
  EXPECT_EQ(Header(2, 3, 9, 1).getFrequency(), 24000);
  EXPECT_EQ(Header(0, 3, 9, 2).getFrequency(), 8000);
  EXPECT_FLOAT_EQ(Header(0, 3, 9, 0).getVersion(), 2.5f);
  EXPECT_FLOAT_EQ(Header(2, 3, 9, 0).getVersion(), 2.0f);

  // Free format, bad bit rate, sample rate, emphasis, version or layer: not a frame.
  EXPECT_EQ(Header(3, 3, 0, 0).isValidHeader(), 0);
  EXPECT_EQ(Header(3, 3, 15, 0).isValidHeader(), 0);
  EXPECT_EQ(Header(3, 3, 9, 3).isValidHeader(), 0);
  EXPECT_EQ(Header(3, 3, 9, 0, 0, 0, 2).isValidHeader(), 0);
  EXPECT_EQ(Header(1, 3, 9, 0).isValidHeader(), 0);
  CFrameHeader noLayer = Header(3, 3, 9, 0);
  noLayer.header &= ~(3u << 17);
  EXPECT_EQ(noLayer.isValidHeader(), 0);
  CFrameHeader noSync = Header(3, 3, 9, 0);
  noSync.header &= ~(1u << 21);
  EXPECT_EQ(noSync.isValidHeader(), 0);
  EXPECT_EQ(noSync.getFrameLength(), 0);
}

TEST(FrameHeader, FrameLengthsAndSamples) {
  // MPEG-1 layer III, 128 kbit/s at 44100 Hz.
  EXPECT_EQ(Header(3, 3, 9, 0).getFrameLength(), 417);
  EXPECT_EQ(Header(3, 3, 9, 0, 1).getFrameLength(), 418);
  EXPECT_EQ(Header(3, 3, 9, 0).getSamplesPerFrame(), 1152);
  // MPEG-2 and MPEG 2.5 layer III frames hold 576 samples: half the bytes.
  EXPECT_EQ(Header(2, 3, 8, 0).getFrameLength(), 208);  // 64 kbit/s, 22050 Hz
  EXPECT_EQ(Header(0, 3, 4, 0).getFrameLength(), 208);  // 32 kbit/s, 11025 Hz
  EXPECT_EQ(Header(2, 3, 8, 0).getSamplesPerFrame(), 576);
  // Layer II keeps 1152 samples in every version.
  EXPECT_EQ(Header(2, 2, 12, 1).getFrameLength(), 768);  // 128 kbit/s, 24000 Hz
  EXPECT_EQ(Header(2, 2, 12, 1).getSamplesPerFrame(), 1152);
  // Layer I counts whole 4-byte slots: 384 kbit/s at 44100 Hz is 104 slots.
  EXPECT_EQ(Header(3, 1, 12, 0).getFrameLength(), 416);
  EXPECT_EQ(Header(3, 1, 12, 0, 1).getFrameLength(), 420);
  EXPECT_EQ(Header(3, 1, 1, 1).getFrameLength(), 32);  // 32 kbit/s, 48000 Hz
  EXPECT_EQ(Header(3, 1, 1, 1).getSamplesPerFrame(), 384);
  // Where a "Xing" header starts behind the side information.
  EXPECT_EQ(Header(3, 3, 9, 0).getSideInfoSize(), 32);
  EXPECT_EQ(Header(3, 3, 9, 0, 0, 3).getSideInfoSize(), 17);
  EXPECT_EQ(Header(2, 3, 9, 0).getSideInfoSize(), 17);
  EXPECT_EQ(Header(0, 3, 9, 0, 0, 3).getSideInfoSize(), 9);
}

TEST(VBitRate, XingHeaderCounts) {
  CVBitRate v;
  char b[12] = {'X', 'i', 'n', 'g', 0, 0, 0, 0x0F, 0, 0, 0x12, 0x34};
  EXPECT_EQ(v.loadHeader(b), 1);
  EXPECT_EQ(v.getNumberOfFrames(), 0x1234);
  b[7] = 0x0E;  // no frames flag
  EXPECT_EQ(v.loadHeader(b), 1);
  EXPECT_EQ(v.getNumberOfFrames(), -1);
  b[7] = 0x01;
  EXPECT_EQ(v.loadHeader(b, 10), 1);  // the count was cut off
  EXPECT_EQ(v.getNumberOfFrames(), -1);
  b[8] = '\x80';  // beyond any real count
  EXPECT_EQ(v.loadHeader(b), 1);
  EXPECT_EQ(v.getNumberOfFrames(), -1);
  std::memcpy(b, "Info", 4);
  EXPECT_EQ(v.loadHeader(b), 0);
  EXPECT_EQ(v.getNumberOfFrames(), -1);
}
