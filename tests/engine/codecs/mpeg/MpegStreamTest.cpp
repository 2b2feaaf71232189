// Frame synchronisation on synthetic streams: clean streams, junk with
// false sync patterns, tags, damage, cut ends, free format, a source that
// delivers a few bytes at a time, and a change of format mid-stream.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/MpegResult.h"
#include "engine/codecs/mpeg/MpegStream.h"

using namespace mpegaudio;

namespace {

using Bytes = std::vector<uint8_t>;

// MPEG-1 layer III, 128 kbit/s, stereo, no CRC: 417 bytes at 44.1 kHz, 384 at 48 kHz.
Bytes Frame(uint8_t fill, bool rate48 = false) {
  int size = rate48 ? 384 : 417;
  Bytes f(size, fill);
  f[0] = 0xFF;
  f[1] = 0xFB;
  f[2] = rate48 ? 0x94 : 0x90;
  f[3] = 0x00;
  return f;
}

// MPEG-1 layer II, free format, 44.1 kHz, stereo, no CRC, `size` bytes.
Bytes FreeFrame(uint8_t fill, int size) {
  Bytes f(size, fill);
  f[0] = 0xFF;
  f[1] = 0xFD;
  f[2] = 0x00;
  f[3] = 0x00;
  return f;
}

void Append(Bytes* to, const Bytes& more) { to->insert(to->end(), more.begin(), more.end()); }
void Append(Bytes* to, const std::string& more) { to->insert(to->end(), more.begin(), more.end()); }

// A source over a byte vector; with `dribble` it holds only that many new
// bytes per call of Release() and refuses larger reads, like the ring.
struct Source {
  Bytes data;
  size_t pos = 0;
  size_t available = SIZE_MAX;
  static int64_t Read(void* context, uint8_t* buffer, int64_t size) {
    auto* s = static_cast<Source*>(context);
    size_t limit = std::min(s->available, s->data.size());
    if (s->available != SIZE_MAX && s->pos + size_t(size) > limit)
      return s->pos < s->data.size() || s->available < s->data.size() ? kMpegErrorNotEnoughData : 0;
    size_t n = std::min(size_t(size), s->data.size() - s->pos);
    if (n > 0) std::memcpy(buffer, s->data.data() + s->pos, n);
    s->pos += n;
    return int64_t(n);
  }
};

struct Found {
  std::vector<uint8_t> fills;  // the fill byte of each frame found
  std::vector<int> sizes;
  int result = 0;
};

Found Scan(Source* source, CMpegStream* stream = nullptr) {
  CMpegStream local;
  CMpegStream& s = stream ? *stream : local;
  if (!stream) s.SetReader(Source::Read, source);
  Found f;
  FrameHeader h;
  const uint8_t* frame = nullptr;
  while ((f.result = s.NextFrame(&h, &frame)) == kMpegOk) {
    f.fills.push_back(frame[h.frameBytes - 1]);
    f.sizes.push_back(h.frameBytes);
  }
  return f;
}

Found Scan(const Bytes& data) {
  Source source{data};
  return Scan(&source);
}

}  // namespace

TEST(MpegStream, CleanStreamAndCutLastFrame) {
  Bytes data;
  for (uint8_t i = 1; i <= 5; ++i) Append(&data, Frame(i));
  Found f = Scan(data);
  EXPECT_EQ(f.result, kMpegErrorEndOfInput);
  EXPECT_EQ(f.fills, (std::vector<uint8_t>{1, 2, 3, 4, 5}));

  data.resize(data.size() - 100);  // the fifth frame is cut short
  f = Scan(data);
  EXPECT_EQ(f.fills, (std::vector<uint8_t>{1, 2, 3, 4}));

  Bytes single = Frame(9);
  EXPECT_EQ(Scan(single).fills, (std::vector<uint8_t>{9})) << "a lone frame at the end is decoded";
  EXPECT_TRUE(Scan(Bytes{0xFF, 0xFB, 0x90}).fills.empty());
  EXPECT_TRUE(Scan(Bytes{}).fills.empty());
}

TEST(MpegStream, FalseSyncInJunkIsRejected) {
  Bytes data(300, 0x11);
  // A valid-looking header whose "next frame" is not there.
  data[50] = 0xFF;
  data[51] = 0xFB;
  data[52] = 0x90;
  data[53] = 0x00;
  for (uint8_t i = 1; i <= 3; ++i) Append(&data, Frame(i));
  Source source{data};
  CMpegStream s;
  s.SetReader(Source::Read, &source);
  Found f = Scan(&source, &s);
  EXPECT_EQ(f.fills, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(s.JunkBytes(), 300);
  EXPECT_EQ(s.Consumed(), int64_t(data.size()));
}

TEST(MpegStream, TagsAreSkippedWhole) {
  Bytes data;
  // ID3v2 with a sync pattern inside its payload, 64 bytes of payload.
  Append(&data, std::string("ID3\x03\x00\x00\x00\x00\x00\x40", 10));
  Bytes payload(64, 0x20);
  for (int i = 0; i < 64; i += 4) std::memcpy(&payload[i], "\xFF\xFB\x90\x00", 4);
  Append(&data, payload);
  for (uint8_t i = 1; i <= 3; ++i) Append(&data, Frame(i));
  // An APE tag with header and footer (size = items + footer), then ID3v1.
  Bytes ape(32 + 40 + 32, 0xFF);
  std::memcpy(&ape[0], "APETAGEX\xD0\x07\x00\x00\x48\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\xA0",
              24);
  std::memcpy(&ape[72], "APETAGEX\xD0\x07\x00\x00\x48\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x80",
              24);
  Append(&data, ape);
  Bytes id3v1(128, 0xFF);
  std::memcpy(id3v1.data(), "TAG", 3);
  Append(&data, id3v1);

  Source source{data};
  CMpegStream s;
  s.SetReader(Source::Read, &source);
  Found f = Scan(&source, &s);
  EXPECT_EQ(f.fills, (std::vector<uint8_t>{1, 2, 3}));
  EXPECT_EQ(s.JunkBytes(), 0);
}

TEST(MpegStream, RecoversAfterDamage) {
  Bytes data;
  for (uint8_t i = 1; i <= 6; ++i) Append(&data, Frame(i));
  std::memset(&data[417 * 2], 0, 4);             // the third header is destroyed
  data.insert(data.begin() + 417 * 5, 7, 0x33);  // junk before the sixth
  Found f = Scan(data);
  EXPECT_EQ(f.fills, (std::vector<uint8_t>{1, 2, 4, 5, 6}));
}

TEST(MpegStream, FreeFormatFramesAreMeasured) {
  Bytes data;
  for (uint8_t i = 1; i <= 4; ++i) Append(&data, FreeFrame(i, 600));
  Found f = Scan(data);
  EXPECT_EQ(f.fills, (std::vector<uint8_t>{1, 2, 3, 4}))
      << "the last frame takes the measured size";
  EXPECT_EQ(f.sizes, (std::vector<int>{600, 600, 600, 600}));
}

TEST(MpegStream, ASourceDeliveringFewBytesGivesTheSameFrames) {
  Bytes data(123, 0x44);
  Append(&data, std::string("ID3\x03\x00\x00\x00\x00\x00\x20", 10));
  Append(&data, Bytes(32, 0xFF));
  for (uint8_t i = 1; i <= 8; ++i) Append(&data, Frame(i));
  Source source{data};
  source.available = 0;
  CMpegStream s;
  s.SetReader(Source::Read, &source);
  std::vector<uint8_t> fills;
  int waits = 0;
  for (;;) {
    FrameHeader h;
    const uint8_t* frame = nullptr;
    int r = s.NextFrame(&h, &frame);
    if (r == kMpegOk) {
      fills.push_back(frame[h.frameBytes - 1]);
    } else if (r == kMpegErrorNotEnoughData && source.available < data.size()) {
      ++waits;
      source.available = std::min(data.size(), source.available + 97);
    } else {
      break;
    }
  }
  // The final frame may stay pending: a ring never announces the end.
  ASSERT_GE(fills.size(), 7u);
  for (size_t i = 0; i < fills.size(); ++i) EXPECT_EQ(fills[i], i + 1);
  EXPECT_GT(waits, 10);
}

TEST(MpegStream, AChangeOfSampleRateIsFollowed) {
  Bytes data;
  for (uint8_t i = 1; i <= 3; ++i) Append(&data, Frame(i));
  for (uint8_t i = 4; i <= 6; ++i) Append(&data, Frame(i, true));
  Found f = Scan(data);
  EXPECT_EQ(f.fills, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  EXPECT_EQ(f.sizes, (std::vector<int>{417, 417, 417, 384, 384, 384}));
}
