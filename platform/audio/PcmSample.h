// PCM samples as the wave format stores them, on the 16-bit scale the mixers,
// converters and codec drivers compute in: 16-bit samples are signed
// little-endian; an unsigned 8-bit sample u stands for (u - 128) * 256, and a
// value v is stored back into 8 bits as (v >> 8) + 128.
#pragma once

#include <cstdint>

#include "platform/data/ByteOrder.h"

constexpr int16_t LoadSample16(const uint8_t* p) { return static_cast<int16_t>(LoadLE16(p)); }

// Keeps the low 16 bits of v; saturate first where v may lie outside.
constexpr void StoreSample16(uint8_t* p, int32_t v) { StoreLE16(p, static_cast<uint16_t>(v)); }

constexpr int32_t LoadSample8(const uint8_t* p) { return (static_cast<int32_t>(*p) - 128) * 256; }

constexpr void StoreSample8(uint8_t* p, int32_t v) { *p = static_cast<uint8_t>((v >> 8) + 128); }

// v clamped to the 16-bit range.
constexpr int32_t Saturate16(int64_t v) {
  return v < -32768 ? -32768 : (v > 32767 ? 32767 : static_cast<int32_t>(v));
}
