// The engine's vocabulary for PCM data: the sample-buffer record that render,
// effect and writer calls pass, its precisions, and the free functions that
// validate, measure and convert wave formats.
//
// All sample arithmetic works on the 16-bit scale: an 8-bit unsigned sample u
// stands for (u - 128) << 8, and a 16-bit-scale value v is stored back into
// 8 bits as (v >> 8) + 128.
#pragma once

#include <cstdint>

#include "platform/WaveFormat.h"

class ACMObject;

enum TPrecisionType : int32_t {
  PRECISION_NATIVE = 0,   // interleaved frames exactly as the format says
  PRECISION_INT16 = 1,    // one array per channel, 16-bit signed
  PRECISION_INT32 = 2,    // one array per channel, 32-bit, 16-bit-scale values
  PRECISION_FLOAT32 = 3,  // one array per channel, float, 16-bit-scale values
  PRECISION_FLOAT64 = 4   // one array per channel, double, 16-bit-scale values
};

// The caller owns the record and the arrays it points to.
struct _bufferType {
  TPrecisionType precision;
  tWAVEFORMATEX* format;  // for split precisions: one channel sample of that precision
  uint32_t bufferBytes;   // size of data (and of data2); for renders, the bytes to fill
  uint32_t dataBytes;     // valid bytes written by a conversion
  uint32_t numFrames;
  uint8_t* data;   // interleaved samples, or the first channel
  int16_t* data2;  // second channel of a split stereo buffer, else null
};

// Completes a PCM record (block align, average rate, no extra bytes) when its
// tag is `tag`, with 8 or 16 bits, 1 or 2 channels and 1 to 48000 Hz; 0 and
// the record untouched otherwise.
int ValidateFormat(tWAVEFORMATEX* format, uint16_t tag);

// "44.1 kHz, 16 Bit, Stereo"-style description through the engine's texts.
void SoundFormatToString(const tWAVEFORMATEX* format, char* out, int outLen, const char* name);

// Raises the maxima to the largest absolute 16-bit-scale sample of the
// interleaved frames between start and end.
void GetMaxSample(const uint8_t* start, const uint8_t* end, const tWAVEFORMATEX* format,
                  long& maxLeft, long& maxRight);

long BlockSize(const tWAVEFORMATEX* format, ACMObject* decoder);
int IsPCMOrACM(ACMObject* decoder);

_bufferType* CopyToNewBuffer(const _bufferType* buffer);
_bufferType* CopyToNewBuffer(const tWAVEFORMATEX* format, const uint8_t* data, long bytes,
                             TPrecisionType precision);
_bufferType* CopyToNewBuffer(const _bufferType* native, TPrecisionType precision);
void CopyBufferData(const _bufferType* source, _bufferType* destination);
void DeleteStaticBuffer(_bufferType* buffer);
void DeleteBufferPtr(_bufferType*& buffer);

// Resamples source PCM to the destination's rate, converts channels and width
// and adds it into the destination with saturation. Every source frame is
// covered: output frame k is taken at source position k * rate ratio, linear
// between neighbouring frames, so equal rates copy frame for frame. Returns the
// number of destination bytes advanced over.
long MixConvertPCM(const uint8_t* source, long sourceBytes, const tWAVEFORMATEX* sourceFormat,
                   uint8_t* destination, long destinationBytes,
                   const tWAVEFORMATEX* destinationFormat);
