// MPEG audio frame headers (ISO/IEC 11172-3, 13818-3 and the MPEG-2.5 rates):
// the fields of the 32 header bits and the sizes that follow from them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mpegaudio {

enum : int { kModeStereo = 0, kModeJointStereo = 1, kModeDualChannel = 2, kModeMono = 3 };

struct FrameHeader {
  uint32_t word = 0;        // the 32 header bits, first byte most significant
  int sync = 0;             // the 11 sync bits, 0x7FF in a header
  int version = 0;          // the version bits: 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
  int lsf = 0;              // 0 for MPEG-1, 1 for MPEG-2 and MPEG-2.5 (lower sampling frequencies)
  int mpeg25 = 0;           // 1 for MPEG-2.5
  int layer = 0;            // 1, 2 or 3
  int protection = 0;       // 1 when a 16-bit CRC follows the header
  int bitrateIndex = 0;     // 0 means free format
  int bitrateKbps = 0;      // 0 for free format
  int sampleRateIndex = 0;  // 0..2 within the version
  int sampleRate = 0;       // Hz
  int padding = 0;
  int privateBit = 0;
  int mode = 0;  // kMode...
  int modeExtension = 0;
  int copyright = 0;
  int original = 0;
  int emphasis = 0;
  int channels = 0;         // 1 for mono, else 2
  int samplesPerFrame = 0;  // per channel: 384, 1152, or 576 for layer III at the lower rates
  int frameBytes = 0;       // whole frame with header and padding; 0 for free format until measured
};

// Samples per channel in a frame of the layer: 384 in layer I, 1152 in layer
// II, and in layer III 1152 for MPEG-1 but 576 at the lower rates (lsf).
constexpr int SamplesPerFrame(int layer, int lsf) {
  return layer == 1 ? 384 : (layer == 3 && lsf) ? 576 : 1152;
}

// Fills h with what the word's bits say, whether or not they form a header:
// a reserved layer gives layer 4, and what depends on a reserved or invalid
// field is 0 (bit rate, sample rate, samples per frame, frame bytes). True
// when the word is a valid header, as ParseFrameHeader decides.
bool DescribeHeaderWord(uint32_t word, FrameHeader* h);

// Fills h from the header word; false when the word is not a valid header
// (no sync, reserved version, layer, bit rate or sample rate index, or emphasis),
// and h is left as it was.
bool ParseFrameHeader(uint32_t word, FrameHeader* h);

// The header word of the 4 bytes at p, first byte most significant.
inline uint32_t ReadHeaderWord(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// Reads the header word at p (at least 4 bytes) and parses it.
inline bool ParseFrameHeader(const uint8_t* p, FrameHeader* h) {
  return ParseFrameHeader(ReadHeaderWord(p), h);
}

// True when b can follow a in the same stream (same version, layer, sample rate;
// a free-format stream stays free format).
bool HeadersCompatible(const FrameHeader& a, const FrameHeader& b);

// Size in bytes of the frame with the given slot count without padding, for a
// free-format stream whose frame length (header to next header, padding
// excluded) has been measured; sets h->frameBytes and h->bitrateKbps.
void ApplyFreeFormatSize(FrameHeader* h, int bytesWithoutPadding);

// Looks for the next header in buf[0, len) compatible with h and returns the
// distance from buf to it minus h's padding, or 0 when none lies in buf.
// Used to measure free-format frames; buf starts at h's own header.
int MeasureFreeFormat(const uint8_t* buf, size_t len, const FrameHeader& h);

// Bytes in one slot, the unit frames are measured in: 4 in layer I, else 1.
inline int SlotBytes(const FrameHeader& h) { return h.layer == 1 ? 4 : 1; }

// Bytes of padding that h's padding bit adds: one slot.
inline int PaddingBytes(const FrameHeader& h) { return h.padding ? SlotBytes(h) : 0; }

// CRC-16 (generator 0x8005, MSB first) of `bits` bits from p, continuing from crc.
uint16_t Crc16(uint16_t crc, const uint8_t* p, int bits);

// Checks the CRC word of a protected frame: it covers the last 16 header bits
// and the first protectedBits bits after the CRC word (the layer's side
// information or allocation). False when the frame (len bytes) is too short.
bool CheckFrameCrc(const uint8_t* frame, size_t len, int protectedBits);

// Bits of side information a layer III frame protects with its CRC: all of
// it, so also where the main data (or an encoder's "Xing" header) begins
// behind the header and the CRC word.
int Layer3SideInfoBits(const FrameHeader& h);
inline int Layer3SideInfoBytes(const FrameHeader& h) { return Layer3SideInfoBits(h) / 8; }

}  // namespace mpegaudio
