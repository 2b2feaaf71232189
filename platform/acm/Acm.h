// The codec registry: conversion streams between wave formats, in the shape of
// the Audio Compression Manager calls the engine was written against.
//
// Drivers. Built in are PCM to PCM (rate, channels, 8/16 bits), mu-law,
// A-law, IMA ADPCM and Microsoft ADPCM, each converting between its format and
// 16-bit PCM of the same rate and channels, and a decoder of wide PCM, IEEE
// float and WAVE_FORMAT_EXTENSIBLE into 16-bit PCM of at most two channels. More drivers can be
// added at run time (acmDriverAdd); they are searched before the built-in ones, the one with the
// highest priority first. A driver is a CAcmDriver (AcmDriver.h).
//
// Handles are opaque pointers checked against the live set on every call, so a
// stale or foreign handle gives MMSYSERR_INVALHANDLE, never a crash.
//
// Conversion flags of acmStreamConvert:
//   ACM_STREAMCONVERTF_BLOCKALIGN: only whole source blocks are converted.
//     Without it a decoder also decodes a partial block at the end of the
//     source (as far as whole sample groups go), taking it for the end of the
//     data.
//   ACM_STREAMCONVERTF_START: the stream's state is reset first (after a seek).
//   ACM_STREAMCONVERTF_END: the stream is flushed: an encoder writes its held
//     frames as a last, zero-padded block.
// Encoders take every source frame that has room: frames short of a whole block
// are held inside the stream until more arrive or the stream is ended.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/WaveFormat.h"

typedef uint32_t MMRESULT;

typedef struct HACMDRIVERID__* HACMDRIVERID;
typedef struct HACMDRIVER__* HACMDRIVER;
typedef struct HACMSTREAM__* HACMSTREAM;
// Any of the three above.
typedef struct HACMOBJ__* HACMOBJ;

class CAcmDriver;

// Results.
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT ACMERR_NOTPOSSIBLE = 512;
constexpr MMRESULT ACMERR_BUSY = 513;
constexpr MMRESULT ACMERR_UNPREPARED = 514;

// acmStreamOpen
constexpr uint32_t ACM_STREAMOPENF_QUERY = 0x00000001;
constexpr uint32_t ACM_STREAMOPENF_ASYNC = 0x00000002;
constexpr uint32_t ACM_STREAMOPENF_NONREALTIME = 0x00000004;

// acmStreamSize
constexpr uint32_t ACM_STREAMSIZEF_SOURCE = 0x00000000;
constexpr uint32_t ACM_STREAMSIZEF_DESTINATION = 0x00000001;

// acmStreamConvert
constexpr uint32_t ACM_STREAMCONVERTF_BLOCKALIGN = 0x00000004;
constexpr uint32_t ACM_STREAMCONVERTF_START = 0x00000010;
constexpr uint32_t ACM_STREAMCONVERTF_END = 0x00000020;

// acmStreamMessage: requests to a stream's driver.
constexpr uint32_t ACMDM_USER = 0x4000;
// Float sources: the largest magnitude the stream's output reached before it
// was narrowed to 16 bits, since the stream opened (full scale 1.0), into the
// double that param1 points to.
constexpr uint32_t ACMDM_STREAM_GET_PEAK = ACMDM_USER + 0;
// Float sources: a gain applied to the output before it is narrowed; param1
// points to the double. 1.0 after opening.
constexpr uint32_t ACMDM_STREAM_SET_GAIN = ACMDM_USER + 1;

// ACMSTREAMHEADER status
constexpr uint32_t ACMSTREAMHEADER_STATUSF_DONE = 0x00010000;
constexpr uint32_t ACMSTREAMHEADER_STATUSF_PREPARED = 0x00020000;

// acmFormatSuggest: which fields of the destination are fixed by the caller.
constexpr uint32_t ACM_FORMATSUGGESTF_WFORMATTAG = 0x00010000;
constexpr uint32_t ACM_FORMATSUGGESTF_NCHANNELS = 0x00020000;
constexpr uint32_t ACM_FORMATSUGGESTF_NSAMPLESPERSEC = 0x00040000;
constexpr uint32_t ACM_FORMATSUGGESTF_WBITSPERSAMPLE = 0x00080000;

// acmFormatTagDetailsA
constexpr uint32_t ACM_FORMATTAGDETAILSF_INDEX = 0x00000000;
constexpr uint32_t ACM_FORMATTAGDETAILSF_FORMATTAG = 0x00000001;
constexpr uint32_t ACM_FORMATTAGDETAILSF_LARGESTSIZE = 0x00000002;

constexpr size_t ACMFORMATTAGDETAILS_FORMATTAG_CHARS = 48;
constexpr size_t ACMDRIVERDETAILS_SHORTNAME_CHARS = 32;
constexpr size_t ACMDRIVERDETAILS_LONGNAME_CHARS = 128;

// One conversion request. The caller fills cbStruct, the buffers and their
// lengths, prepares the header on its stream, and may then convert through it
// any number of times, with lengths up to the prepared ones.
struct ACMSTREAMHEADER {
  uint32_t cbStruct;
  uint32_t fdwStatus;
  uintptr_t dwUser;
  uint8_t* pbSrc;
  uint32_t cbSrcLength;
  uint32_t cbSrcLengthUsed;  // set by the conversion
  uintptr_t dwSrcUser;
  uint8_t* pbDst;
  uint32_t cbDstLength;
  uint32_t cbDstLengthUsed;  // set by the conversion
  uintptr_t dwDstUser;
  // Kept by the registry while the header is prepared.
  HACMSTREAM preparedStream;
  uint8_t* preparedSrc;
  uint8_t* preparedDst;
  uint32_t preparedSrcLength;
  uint32_t preparedDstLength;
};

struct ACMFORMATTAGDETAILSA {
  uint32_t cbStruct;
  uint32_t dwFormatTagIndex;
  uint32_t dwFormatTag;
  uint32_t cbFormatSize;  // largest format record of this tag, extra bytes included
  uint32_t fdwSupport;
  uint32_t cFormats;
  char szFormatTag[ACMFORMATTAGDETAILS_FORMATTAG_CHARS];
};

struct ACMDRIVERDETAILSA {
  uint32_t cbStruct;
  uint32_t cFormatTags;
  char szShortName[ACMDRIVERDETAILS_SHORTNAME_CHARS];
  char szLongName[ACMDRIVERDETAILS_LONGNAME_CHARS];
};

// --- drivers ---
// Adds a driver and, on success, takes ownership of it; it is deleted once it has been
// removed and its last stream and open instance are closed. flags must be 0.
MMRESULT acmDriverAdd(HACMDRIVERID* id, CAcmDriver* driver, uint32_t priority, uint32_t flags);
// Removes a driver added with acmDriverAdd. Built-in drivers stay.
MMRESULT acmDriverRemove(HACMDRIVERID id, uint32_t flags);
MMRESULT acmDriverOpen(HACMDRIVER* driver, HACMDRIVERID id, uint32_t flags);
MMRESULT acmDriverClose(HACMDRIVER driver, uint32_t flags);
// The driver behind an open driver or stream (or an id itself).
MMRESULT acmDriverID(HACMOBJ object, HACMDRIVERID* id, uint32_t flags);
MMRESULT acmDriverDetailsA(HACMDRIVERID id, ACMDRIVERDETAILSA* details, uint32_t flags);

// --- formats ---
// Fills dst (cbwfxDst bytes) with a format src converts into. The fields named
// by the flags are taken from dst as given. With a null driver every driver is
// asked in search order.
MMRESULT acmFormatSuggest(HACMDRIVER driver, const tWAVEFORMATEX* src, tWAVEFORMATEX* dst,
                          uint32_t cbwfxDst, uint32_t flags);
// By index (dwFormatTagIndex) or by tag (dwFormatTag); with a null driver the
// first driver that knows the tag answers.
MMRESULT acmFormatTagDetailsA(HACMDRIVER driver, ACMFORMATTAGDETAILSA* details, uint32_t flags);

// --- streams ---
// src and dst are read with their extra bytes (18 + cbSize each) and copied.
// The filter, callback and instance must be 0. With ACM_STREAMOPENF_QUERY
// only the answer is given and stream may be null.
MMRESULT acmStreamOpen(HACMSTREAM* stream, HACMDRIVER driver, const tWAVEFORMATEX* src,
                       const tWAVEFORMATEX* dst, const void* filter, uintptr_t callback,
                       uintptr_t instance, uint32_t flags);
MMRESULT acmStreamClose(HACMSTREAM stream, uint32_t flags);
// Bytes on the other side for `input` bytes: with ACM_STREAMSIZEF_SOURCE the
// destination room the source needs at most, with ACM_STREAMSIZEF_DESTINATION
// the source that fills at most that destination.
MMRESULT acmStreamSize(HACMSTREAM stream, uint32_t input, uint32_t* output, uint32_t flags);
MMRESULT acmStreamPrepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags);
MMRESULT acmStreamUnprepareHeader(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags);
MMRESULT acmStreamConvert(HACMSTREAM stream, ACMSTREAMHEADER* header, uint32_t flags);
// Drops the stream's held state, as ACM_STREAMCONVERTF_START does.
MMRESULT acmStreamReset(HACMSTREAM stream, uint32_t flags);
// A request (ACMDM_*) to the stream's conversion; MMSYSERR_NOTSUPPORTED when
// it does not know the request.
MMRESULT acmStreamMessage(HACMSTREAM stream, uint32_t message, uintptr_t param1, uintptr_t param2);
