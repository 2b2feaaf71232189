// MPEG audio frame headers: parsing, frame sizes, free format and the CRC.
#include "engine/codecs/mpeg/MpegHeader.h"

namespace mpegaudio {

namespace {

// Bit rates in kbit/s by [lsf][layer - 1][index]; index 0 is free format, 15 is invalid.
constexpr int kBitrates[2][3][15] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};

// Sample rates of MPEG-1; MPEG-2 halves them and MPEG-2.5 quarters them.
constexpr int kSampleRates[3] = {44100, 48000, 32000};

// Frame bytes without padding for a bit rate in kbit/s.
int FrameBytesFor(const FrameHeader& h, int kbps) {
  if (h.layer == 1) return 12 * kbps * 1000 / h.sampleRate * 4;
  int factor = (h.layer == 3 && h.lsf) ? 72 : 144;
  return factor * kbps * 1000 / h.sampleRate;
}

// The header fields a following free-format frame must repeat exactly: sync,
// version, layer, protection, bit rate index and sample rate.
constexpr uint32_t kFreeFormatMask = 0xFFFFFC00u;

}  // namespace

bool DescribeHeaderWord(uint32_t word, FrameHeader* h) {
  FrameHeader r;
  r.word = word;
  r.sync = int(word >> 21);
  r.version = (word >> 19) & 3;
  const int layerBits = (word >> 17) & 3;
  r.lsf = r.version == 3 ? 0 : 1;
  r.mpeg25 = r.version == 0 ? 1 : 0;
  r.layer = 4 - layerBits;
  r.protection = ((word >> 16) & 1) ? 0 : 1;
  r.bitrateIndex = (word >> 12) & 15;
  r.sampleRateIndex = (word >> 10) & 3;
  r.padding = (word >> 9) & 1;
  r.privateBit = (word >> 8) & 1;
  r.mode = (word >> 6) & 3;
  r.modeExtension = (word >> 4) & 3;
  r.copyright = (word >> 3) & 1;
  r.original = (word >> 2) & 1;
  r.emphasis = word & 3;
  r.channels = r.mode == kModeMono ? 1 : 2;
  const bool layerKnown = layerBits != 0;
  if (layerKnown && r.bitrateIndex != 15)
    r.bitrateKbps = kBitrates[r.lsf][r.layer - 1][r.bitrateIndex];
  if (r.version != 1 && r.sampleRateIndex != 3)
    r.sampleRate = kSampleRates[r.sampleRateIndex] >> (r.lsf + r.mpeg25);
  if (layerKnown) r.samplesPerFrame = SamplesPerFrame(r.layer, r.lsf);
  const bool valid = r.sync == 0x7FF && r.version != 1 && layerKnown && r.bitrateIndex != 15 &&
                     r.sampleRateIndex != 3 && r.emphasis != 2;
  if (valid && r.bitrateIndex) r.frameBytes = FrameBytesFor(r, r.bitrateKbps) + PaddingBytes(r);
  *h = r;
  return valid;
}

bool ParseFrameHeader(uint32_t word, FrameHeader* h) {
  FrameHeader r;
  if (!DescribeHeaderWord(word, &r)) return false;
  *h = r;
  return true;
}

bool HeadersCompatible(const FrameHeader& a, const FrameHeader& b) {
  return a.lsf == b.lsf && a.mpeg25 == b.mpeg25 && a.layer == b.layer &&
         a.sampleRateIndex == b.sampleRateIndex && (a.bitrateIndex == 0) == (b.bitrateIndex == 0);
}

void ApplyFreeFormatSize(FrameHeader* h, int bytesWithoutPadding) {
  if (bytesWithoutPadding <= 4 || h->sampleRate <= 0 || h->samplesPerFrame <= 0) {
    h->frameBytes = 0;
    h->bitrateKbps = 0;
    return;
  }
  h->frameBytes = bytesWithoutPadding + PaddingBytes(*h);
  int64_t bits = int64_t(bytesWithoutPadding) * 8 * h->sampleRate;
  h->bitrateKbps =
      int((bits + int64_t(h->samplesPerFrame) * 500) / (int64_t(h->samplesPerFrame) * 1000));
}

int MeasureFreeFormat(const uint8_t* buf, size_t len, const FrameHeader& h) {
  // A candidate must agree with h in every fixed field and in mono against
  // stereo; when the frame after it also lies in buf it must start with a
  // header too, which rules out most sync patterns inside audio data.
  auto matches = [&](size_t at, FrameHeader* out) {
    if (at + 4 > len || !ParseFrameHeader(buf + at, out)) return false;
    return ((out->word ^ h.word) & kFreeFormatMask) == 0 && (out->channels == h.channels);
  };
  int pad = PaddingBytes(h);
  for (size_t i = 5; i + 4 <= len; ++i) {
    if (buf[i] != 0xFF) continue;
    FrameHeader next;
    if (!matches(i, &next)) continue;
    int size = int(i) - pad;
    if (size <= 4) continue;
    size_t after = i + size + PaddingBytes(next);
    FrameHeader third;
    if (after + 4 <= len && !matches(after, &third)) continue;
    return size;
  }
  return 0;
}

uint16_t Crc16(uint16_t crc, const uint8_t* p, int bits) {
  for (int i = 0; i < bits; ++i) {
    int bit = (p[i >> 3] >> (7 - (i & 7))) & 1;
    int top = (crc >> 15) & 1;
    crc = uint16_t(crc << 1);
    if (top ^ bit) crc ^= 0x8005;
  }
  return crc;
}

bool CheckFrameCrc(const uint8_t* frame, size_t len, int protectedBits) {
  if (protectedBits < 0 || len < 6 + size_t(protectedBits + 7) / 8) return false;
  uint16_t crc = Crc16(0xFFFF, frame + 2, 16);
  crc = Crc16(crc, frame + 6, protectedBits);
  return crc == ((uint16_t(frame[4]) << 8) | frame[5]);
}

int Layer3SideInfoBits(const FrameHeader& h) {
  if (h.lsf) return h.channels == 1 ? 9 * 8 : 17 * 8;
  return h.channels == 1 ? 17 * 8 : 32 * 8;
}

}  // namespace mpegaudio
