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
constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
// The record of format tag WAVE_FORMAT_MPEGLAYER3: the wave format and its 12
// extra bytes, which give the (average) frame size of the stream.
struct tMPEGLAYER3WAVEFORMAT {
  tWAVEFORMATEX wfx;
  uint16_t wID;         // MPEGLAYER3_ID_...
  uint32_t fdwFlags;    // MPEGLAYER3_FLAG_PADDING_...
  uint16_t nBlockSize;  // bytes in a frame
  uint16_t nFramesPerBlock;
  uint16_t nCodecDelay;  // samples the decoder puts in front of the sound
};

// The record of format tag WAVE_FORMAT_MPEG (layers I and II): the wave
// format and its 22 extra bytes, which describe the stream's frame headers.
struct tMPEG1WAVEFORMAT {
  tWAVEFORMATEX wfx;
  uint16_t fwHeadLayer;  // ACM_MPEG_LAYER... bits: the layers the stream holds
  uint32_t dwHeadBitrate;
  uint16_t fwHeadMode;
  uint16_t fwHeadModeExt;
  uint16_t wHeadEmphasis;
  uint16_t fwHeadFlags;
  uint32_t dwPTSLow;
  uint32_t dwPTSHigh;
};

// The record of format tag WAVE_FORMAT_EXTENSIBLE: the wave format and its 22
// extra bytes. The sub-format is a GUID whose first field is the plain tag of
// the samples (PCM, IEEE float) and whose other 12 bytes are fixed
// (KSDATAFORMAT_SUBTYPE_GUID_TAIL).
struct tWAVEFORMATEXTENSIBLE {
  tWAVEFORMATEX wfx;
  uint16_t wValidBitsPerSample;  // bits of the container that carry sound; 0: all
  uint32_t dwChannelMask;        // SPEAKER_... bits: the channels' speakers, in bit order
  uint32_t subFormatTag;
  uint8_t subFormatTail[12];
};
#pragma pack(pop)

static_assert(sizeof(tMPEGLAYER3WAVEFORMAT) == 30, "the MPEG layer 3 format is 30 bytes on disk");
static_assert(offsetof(tMPEGLAYER3WAVEFORMAT, wID) == 18);
static_assert(offsetof(tMPEGLAYER3WAVEFORMAT, fdwFlags) == 20);
static_assert(offsetof(tMPEGLAYER3WAVEFORMAT, nBlockSize) == 24);
static_assert(offsetof(tMPEGLAYER3WAVEFORMAT, nFramesPerBlock) == 26);
static_assert(offsetof(tMPEGLAYER3WAVEFORMAT, nCodecDelay) == 28);
static_assert(sizeof(tMPEG1WAVEFORMAT) == 40, "the MPEG format is 40 bytes on disk");
static_assert(offsetof(tMPEG1WAVEFORMAT, fwHeadLayer) == 18);
static_assert(offsetof(tMPEG1WAVEFORMAT, dwHeadBitrate) == 20);
static_assert(offsetof(tMPEG1WAVEFORMAT, fwHeadFlags) == 30);
static_assert(offsetof(tMPEG1WAVEFORMAT, dwPTSLow) == 32);
static_assert(sizeof(tWAVEFORMATEXTENSIBLE) == 40, "the extensible format is 40 bytes on disk");
static_assert(offsetof(tWAVEFORMATEXTENSIBLE, wValidBitsPerSample) == 18);
static_assert(offsetof(tWAVEFORMATEXTENSIBLE, dwChannelMask) == 20);
static_assert(offsetof(tWAVEFORMATEXTENSIBLE, subFormatTag) == 24);

// Extra bytes of the MPEG records (their cbSize).
constexpr uint16_t MPEGLAYER3_WFX_EXTRA_BYTES =
    sizeof(tMPEGLAYER3WAVEFORMAT) - sizeof(tWAVEFORMATEX);
constexpr uint16_t MPEG1_WFX_EXTRA_BYTES = sizeof(tMPEG1WAVEFORMAT) - sizeof(tWAVEFORMATEX);
constexpr uint16_t EXTENSIBLE_WFX_EXTRA_BYTES =
    sizeof(tWAVEFORMATEXTENSIBLE) - sizeof(tWAVEFORMATEX);

// The bytes of the KSDATAFORMAT_SUBTYPE_ GUIDs after their first field, as
// stored: {tag-0000-0010-8000-00aa00389b71}.
constexpr uint8_t KSDATAFORMAT_SUBTYPE_GUID_TAIL[12] = {0x00, 0x00, 0x10, 0x00, 0x80, 0x00,
                                                        0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71};

constexpr uint16_t MPEGLAYER3_ID_MPEG = 1;
constexpr uint32_t MPEGLAYER3_FLAG_PADDING_ISO = 0;
constexpr uint32_t MPEGLAYER3_FLAG_PADDING_ON = 1;
constexpr uint32_t MPEGLAYER3_FLAG_PADDING_OFF = 2;

constexpr uint16_t ACM_MPEG_LAYER1 = 0x0001;
constexpr uint16_t ACM_MPEG_LAYER2 = 0x0002;
constexpr uint16_t ACM_MPEG_LAYER3 = 0x0004;

// True when a record of cbSize extra bytes reaches to the end of the field
// that ends `fieldEnd` bytes into the record.
constexpr bool FormatHolds(const tWAVEFORMATEX& format, size_t fieldEnd) {
  return sizeof(tWAVEFORMATEX) + format.cbSize >= fieldEnd;
}
