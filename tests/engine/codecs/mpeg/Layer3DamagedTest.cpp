// Damaged and incomplete layer III input: nothing may crash or read outside
// the frame (the sanitizer build checks the latter), and the bit reservoir
// must carry over correctly when a stream is entered in the middle.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/FrameDecoder.h"
#include "engine/codecs/mpeg/Layer3.h"
#include "tests/TestSupport.h"
#include "tests/engine/codecs/mpeg/MpegTestStreams.h"

namespace mpegaudio::test {
namespace {

using mpegtest::DecodeFrames;
using mpegtest::FindFrames;
using mpegtest::FrameSpan;

std::string Vector(const std::string& name) { return mpegtest::ReadStreamFile(name); }

size_t SideInfoBytes(const FrameHeader& h) {
  return h.lsf ? (h.channels == 1 ? 9 : 17) : (h.channels == 1 ? 17 : 32);
}

// Decodes the frame's audio data from an exact-size copy, so that any read
// past its end is caught; checks that every output sample is finite.
int DecodeExact(CLayer3& layer3, const FrameHeader& h, const uint8_t* data, size_t len,
                float (*out)[36][32]) {
  std::vector<uint8_t> copy(data, data + len);
  int slots = -1;
  int r = layer3.Decode(h, copy.empty() ? nullptr : copy.data(), copy.size(), out, &slots);
  EXPECT_EQ(slots, h.lsf ? 18 : 36);
  for (int ch = 0; ch < h.channels; ++ch)
    for (int t = 0; t < slots; ++t)
      for (int sb = 0; sb < 32; ++sb)
        if (!std::isfinite(out[ch][t][sb])) {
          ADD_FAILURE() << "non-finite output";
          return r;
        }
  return r;
}

TEST(Layer3Damaged, IllegalAndOddStreamsDecodeWithoutCrash) {
  const std::vector<std::string> names = {"ILL4_ext_id1.bit",
                                          "ILL4_sync.bit",
                                          "ILL4_wrong_length1.bit",
                                          "ILL4_wrong_length2.bit",
                                          "ILL4_wrongcrc.bit",
                                          "l3-nonstandard-big-iscf.bit",
                                          "l3-nonstandard-compl-sideinfo-bigvalues.bit",
                                          "l3-nonstandard-compl-sideinfo-blocktype.bit",
                                          "l3-nonstandard-compl-sideinfo-size.bit",
                                          "l3-nonstandard-sideinfo-size.bit",
                                          "l3-nonstandard-small.bit",
                                          "fuzz/l3-compl-cut.mp3"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    std::string bits = Vector(name);
    ASSERT_FALSE(bits.empty());
    std::vector<FrameSpan> frames = FindFrames(bits);
    mpegtest::Decoded d = DecodeFrames(bits, frames);
    size_t samples = 0;
    for (size_t i = size_t(d.skippedFrames); i < frames.size(); ++i)
      samples += size_t(frames[i].h.samplesPerFrame * frames[i].h.channels);
    EXPECT_EQ(d.pcm.size(), samples);
  }
}

TEST(Layer3Damaged, TruncatedFramesStayWithinTheirBytes) {
  std::string bits = Vector("l3-he_mode.bit");
  std::vector<FrameSpan> frames = FindFrames(bits);
  ASSERT_GT(frames.size(), 20u);
  static float out[2][36][32];
  CLayer3 layer3;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bits.data());
  for (size_t i = 0; i < frames.size(); ++i) {
    const FrameHeader& h = frames[i].h;
    const size_t header = h.protection ? 6 : 4;
    const size_t full = size_t(h.frameBytes) - header;
    // Every frame cut somewhere: inside the side information, just after it,
    // and inside the main data.
    size_t cuts[] = {0, 5, SideInfoBytes(h), SideInfoBytes(h) + 1 + i % 40, full / 2, full - 1};
    const size_t cut = cuts[i % 6];
    int r = DecodeExact(layer3, h, p + frames[i].offset + header, std::min(cut, full), out);
    if (cut < SideInfoBytes(h)) {
      EXPECT_EQ(r, kFrameBadData);
    }
  }
}

TEST(Layer3Damaged, RandomBytesAfterValidHeaders) {
  // MPEG-1 joint stereo (intensity and mid/side) 128 kbit/s 44.1 kHz, MPEG-1
  // mono 64 kbit/s 48 kHz, MPEG-2 joint stereo 64 kbit/s 22.05 kHz with
  // mid/side and with both, MPEG-2.5 stereo 32 kbit/s 8 kHz.
  const uint32_t words[] = {0xfffb9074u, 0xfffb54c4u, 0xfff38064u, 0xfff38074u, 0xffe34804u};
  std::mt19937 rng(1234);
  static float out[2][36][32];
  for (uint32_t word : words) {
    FrameHeader h;
    ASSERT_TRUE(ParseFrameHeader(word, &h)) << std::hex << word;
    ASSERT_EQ(h.layer, 3);
    CLayer3 layer3;
    CFrameDecoder decoder;
    std::vector<int16_t> pcm(kMaxFrameSamples);
    for (int round = 0; round < 300; ++round) {
      std::vector<uint8_t> frame(size_t(h.frameBytes));
      for (uint8_t& b : frame) b = uint8_t(rng());
      // Now and then a side information of extreme values, else random bytes.
      if (round % 5 == 0) std::memset(frame.data() + 4, round % 10 ? 0xff : 0x00, SideInfoBytes(h));
      for (int k = 0; k < 4; ++k) frame[size_t(k)] = uint8_t(word >> (24 - 8 * k));
      DecodeExact(layer3, h, frame.data() + 4, frame.size() - 4, out);
      int r = decoder.DecodeFrame(h, frame.data(), frame.size(), pcm.data());
      EXPECT_TRUE(r == kFrameOk || r == kFrameBadData || r == kFrameNeedReservoir) << r;
    }
  }
}

// After Reset nothing of earlier frames may show: random frames whose main
// data lies within themselves decode exactly as by a fresh decoder.
TEST(Layer3Damaged, ResetForgetsEarlierFrames) {
  const uint32_t words[] = {0xfffb9074u, 0xfff38074u, 0xffe34804u};
  std::mt19937 rng(99);
  static float a[2][36][32], b[2][36][32];
  for (uint32_t word : words) {
    FrameHeader h;
    ASSERT_TRUE(ParseFrameHeader(word, &h));
    CLayer3 used;
    std::vector<uint8_t> previous(size_t(h.frameBytes) - 4, 0);
    for (int round = 0; round < 60; ++round) {
      std::vector<uint8_t> data(previous.size());
      for (uint8_t& v : data) v = uint8_t(rng());
      data[0] = 0;  // main_data_begin 0
      if (!h.lsf) data[1] &= 0x7f;
      DecodeExact(used, h, previous.data(), previous.size(), a);
      used.Reset();
      int ra = DecodeExact(used, h, data.data(), data.size(), a);
      CLayer3 fresh;
      int rb = DecodeExact(fresh, h, data.data(), data.size(), b);
      ASSERT_EQ(ra, rb);
      ASSERT_EQ(std::memcmp(a, b, sizeof(float) * 36 * 32 * size_t(h.channels)), 0)
          << std::hex << word << std::dec << " round " << round;
      previous = data;
    }
  }
}

// Main data begins in an earlier frame: entered at such a frame the decoder
// gives silence and kFrameNeedReservoir, but keeps the bytes, so that the
// next frame decodes, and from the one after that on output is exact.
TEST(Layer3Damaged, ReservoirFilledFromTheMiddleOfAStream) {
  std::string bits = Vector("l3-compl.bit");
  std::vector<FrameSpan> frames = FindFrames(bits);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bits.data());
  auto mainDataBegin = [&](size_t i) {
    const uint8_t* d = p + frames[i].offset + (frames[i].h.protection ? 6 : 4);
    return frames[i].h.lsf ? int(d[0]) : (int(d[0]) << 1) | (d[1] >> 7);
  };
  auto mainBytes = [&](size_t i) {
    const FrameHeader& h = frames[i].h;
    return h.frameBytes - (h.protection ? 6 : 4) - int(SideInfoBytes(h));
  };
  size_t k = 1;
  while (k + 4 < frames.size() && !(mainDataBegin(k) > 0 && mainDataBegin(k + 1) <= mainBytes(k)))
    ++k;
  ASSERT_LT(k + 4, frames.size()) << "no suitable frame";

  static float full[2][36][32], part[2][36][32];
  CLayer3 whole, entered;
  for (size_t i = 0; i < frames.size(); ++i) {
    const FrameHeader& h = frames[i].h;
    const size_t header = h.protection ? 6 : 4;
    const uint8_t* data = p + frames[i].offset + header;
    const size_t len = size_t(h.frameBytes) - header;
    ASSERT_GE(DecodeExact(whole, h, data, len, full), 0) << "frame " << i;
    if (i < k) continue;
    int r = DecodeExact(entered, h, data, len, part);
    if (i == k) {
      EXPECT_EQ(r, kFrameNeedReservoir);
      for (int ch = 0; ch < h.channels; ++ch)
        for (int t = 0; t < 36; ++t)
          for (int sb = 0; sb < 32; ++sb) ASSERT_EQ(part[ch][t][sb], 0.0f);
    } else {
      ASSERT_GE(r, 0) << "frame " << i;
    }
    if (i >= k + 2) {
      EXPECT_EQ(std::memcmp(full, part, sizeof(float) * 36 * 32 * size_t(h.channels)), 0)
          << "frame " << i;
    }
  }
}

}  // namespace
}  // namespace mpegaudio::test
