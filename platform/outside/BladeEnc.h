// The BladeEnc encoder-library interface: the records, results and entry
// points that the MP3 writers call in "Lame_enc.so" and "BladeEnc.so". Both
// libraries are ours (platform/outside/mp3enc, over libmp3lame); any library
// with these entry points may stand in their place.
//
// Calls: beInitStream(config, &samples, &outputBytes, &stream) opens a stream
// and tells how many 16-bit samples (all channels together) each
// beEncodeChunk call takes and the output room it needs; beDeinitStream
// flushes the last frames; beCloseStream releases the handle;
// beWriteVBRHeader(path) writes the VBR ("Xing"/"Info") frame of the stream
// flushed last into the file, over the empty frame the encoder reserved at the
// start of its audio, in front of which only an ID3v2 tag may stand; after a
// stream without that frame it writes nothing and fails. The file must hold
// all of the stream's bytes when it is called. Every call but beVersion
// returns one of the BE_ERR values.
#pragma once

#include <cstddef>
#include <cstdint>

using BE_ERR = uint32_t;
using HBE_STREAM = uint32_t;

constexpr BE_ERR BE_ERR_SUCCESSFUL = 0;
constexpr BE_ERR BE_ERR_INVALID_FORMAT = 1;
constexpr BE_ERR BE_ERR_INVALID_FORMAT_PARAMETERS = 2;
constexpr BE_ERR BE_ERR_NO_MORE_HANDLES = 3;
constexpr BE_ERR BE_ERR_INVALID_HANDLE = 4;
constexpr BE_ERR BE_ERR_BUFFER_TOO_SMALL = 5;

// dwConfig: which record follows.
constexpr uint32_t BE_CONFIG_MP3 = 0;     // the basic record
constexpr uint32_t BE_CONFIG_LAME = 256;  // the extended record

// Channel modes (byMode, nMode).
constexpr int32_t BE_MP3_MODE_STEREO = 0;
constexpr int32_t BE_MP3_MODE_JSTEREO = 1;
constexpr int32_t BE_MP3_MODE_DUALCHANNEL = 2;
constexpr int32_t BE_MP3_MODE_MONO = 3;

// dwMpegVersion of the extended record.
constexpr int32_t MPEG2 = 0;
constexpr int32_t MPEG1 = 1;
constexpr int32_t MPEG2_5 = 2;

// nVbrMethod of the extended record.
constexpr int32_t VBR_METHOD_NONE = -1;
constexpr int32_t VBR_METHOD_MTRH = 3;
constexpr int32_t VBR_METHOD_ABR = 4;

#pragma pack(push, 1)

// dwConfig == BE_CONFIG_MP3: MPEG-1 layer III at constant bit rate.
struct BE_CONFIG_BASIC {
  uint32_t dwConfig;
  uint32_t dwSampleRate;  // 32000, 44100 or 48000
  uint8_t byMode;
  uint16_t wBitrate;  // kbit/s
  int32_t bPrivate;
  int32_t bCRC;
  int32_t bCopyright;
  int32_t bOriginal;
};
static_assert(sizeof(BE_CONFIG_BASIC) == 27);
static_assert(offsetof(BE_CONFIG_BASIC, byMode) == 8 && offsetof(BE_CONFIG_BASIC, wBitrate) == 9);
static_assert(offsetof(BE_CONFIG_BASIC, bPrivate) == 11 && offsetof(BE_CONFIG_BASIC, bOriginal) == 23);

// dwConfig == BE_CONFIG_LAME: the extended record, 331 bytes.
struct BE_CONFIG_LAME_RECORD {
  uint32_t dwConfig;
  uint32_t dwStructVersion;  // 1
  uint32_t dwStructSize;     // 331
  uint32_t dwSampleRate;     // of the PCM handed in
  uint32_t dwReSampleRate;   // of the file written
  int32_t nMode;
  uint32_t dwBitrate;     // kbit/s; the minimum with VBR
  uint32_t dwMaxBitrate;  // kbit/s, with VBR
  int32_t nPreset;        // -1: none
  int32_t dwMpegVersion;
  uint32_t dwPsyModel;
  uint32_t dwEmphasis;
  int32_t bPrivate;
  int32_t bCRC;
  int32_t bCopyright;
  int32_t bOriginal;
  int32_t bWriteVBRHeader;
  int32_t bEnableVBR;
  int32_t nVBRQuality;  // 0 best .. 9
  uint32_t dwVbrAbr_bps;
  int32_t nVbrMethod;
  int32_t bNoRes;  // no bit reservoir
  uint8_t btReserved[331 - 88];
};
static_assert(sizeof(BE_CONFIG_LAME_RECORD) == 331);
static_assert(offsetof(BE_CONFIG_LAME_RECORD, dwSampleRate) == 12);
static_assert(offsetof(BE_CONFIG_LAME_RECORD, nMode) == 20);
static_assert(offsetof(BE_CONFIG_LAME_RECORD, nPreset) == 32);
static_assert(offsetof(BE_CONFIG_LAME_RECORD, dwMpegVersion) == 36);
static_assert(offsetof(BE_CONFIG_LAME_RECORD, bWriteVBRHeader) == 64);
static_assert(offsetof(BE_CONFIG_LAME_RECORD, nVBRQuality) == 72);
static_assert(offsetof(BE_CONFIG_LAME_RECORD, nVbrMethod) == 80);
static_assert(offsetof(BE_CONFIG_LAME_RECORD, bNoRes) == 84);

// What beVersion fills.
struct BE_VERSION {
  uint8_t byDLLMajorVersion;
  uint8_t byDLLMinorVersion;
  uint8_t byMajorVersion;  // of the encoder engine
  uint8_t byMinorVersion;
  uint8_t byDay;
  uint8_t byMonth;
  uint16_t wYear;
  char zHomepage[129];
  uint8_t byAlphaLevel;
  uint8_t byBetaLevel;
  uint8_t byMMXEnabled;
  uint8_t btReserved[125];
};
static_assert(sizeof(BE_VERSION) == 265);

#pragma pack(pop)

// The entry points, as the writers look them up.
extern "C" {
using BEINITSTREAM = BE_ERR (*)(void* config, uint32_t* samples, uint32_t* outputBytes,
                                HBE_STREAM* stream);
using BEENCODECHUNK = BE_ERR (*)(HBE_STREAM stream, uint32_t samples, const int16_t* pcm,
                                 uint8_t* output, uint32_t* outputBytes);
using BEDEINITSTREAM = BE_ERR (*)(HBE_STREAM stream, uint8_t* output, uint32_t* outputBytes);
using BECLOSESTREAM = BE_ERR (*)(HBE_STREAM stream);
using BEVERSION = void (*)(BE_VERSION* version);
using BEWRITEVBRHEADER = BE_ERR (*)(const char* path);
}
