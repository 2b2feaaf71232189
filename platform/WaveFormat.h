// The wave-format record that files, the codec layer and the engine share:
// the first 18 bytes of a RIFF "fmt " chunk, little-endian, no padding.
#pragma once

#include <cstddef>
#include <cstdint>

#pragma pack(push, 1)
struct tWAVEFORMATEX {
  uint16_t wFormatTag;
  uint16_t nChannels;
  uint32_t nSamplesPerSec;
  uint32_t nAvgBytesPerSec;
  uint16_t nBlockAlign;
  uint16_t wBitsPerSample;
  uint16_t cbSize;  // count of extra bytes that follow the record
};
#pragma pack(pop)

static_assert(sizeof(tWAVEFORMATEX) == 18, "the wave format is 18 bytes on disk");
static_assert(offsetof(tWAVEFORMATEX, nAvgBytesPerSec) == 8);
static_assert(offsetof(tWAVEFORMATEX, cbSize) == 16);

// Format tags used across the system.
constexpr uint16_t WAVE_FORMAT_PCM = 0x0001;
constexpr uint16_t WAVE_FORMAT_ADPCM = 0x0002;
constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 0x0003;
constexpr uint16_t WAVE_FORMAT_ALAW = 0x0006;
constexpr uint16_t WAVE_FORMAT_MULAW = 0x0007;
constexpr uint16_t WAVE_FORMAT_IMA_ADPCM = 0x0011;
constexpr uint16_t WAVE_FORMAT_MPEG = 0x0050;
constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x0055;
constexpr uint16_t WAVE_FORMAT_WMAUDIO2 = 0x0161;
// The record is followed by valid bits, a speaker mask and a sub-format GUID.
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;
