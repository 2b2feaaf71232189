// Fixed-order integers in byte buffers: RIFF, wave formats and the saved
// chunks are little-endian, ID3v2 sizes big-endian. Every reader and writer
// of such fields goes through these, whatever the host's own order; p need
// not be aligned. On a little-endian host the little-endian ones are plain
// copies, so that the mixers' sample loops compile to single moves (the
// compiler does not always merge byte stores).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace byteorder {
// True where a plain copy gives little-endian order: at run time on a
// little-endian host.
constexpr bool CopyIsLittleEndian() {
  return std::endian::native == std::endian::little && !std::is_constant_evaluated();
}
}  // namespace byteorder

constexpr uint16_t LoadLE16(const uint8_t* p) {
  if (byteorder::CopyIsLittleEndian()) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

constexpr uint32_t LoadLE32(const uint8_t* p) {
  if (byteorder::CopyIsLittleEndian()) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

constexpr uint64_t LoadLE64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadLE32(p)) | static_cast<uint64_t>(LoadLE32(p + 4)) << 32;
}

constexpr uint16_t LoadBE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

constexpr uint32_t LoadBE24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 16 | static_cast<uint32_t>(p[1]) << 8 | p[2];
}

constexpr uint32_t LoadBE32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

constexpr void StoreLE16(uint8_t* p, uint16_t v) {
  if (byteorder::CopyIsLittleEndian()) {
    std::memcpy(p, &v, 2);
    return;
  }
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr void StoreLE32(uint8_t* p, uint32_t v) {
  if (byteorder::CopyIsLittleEndian()) {
    std::memcpy(p, &v, 4);
    return;
  }
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

constexpr void StoreLE64(uint8_t* p, uint64_t v) {
  StoreLE32(p, static_cast<uint32_t>(v));
  StoreLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

constexpr void StoreBE32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v >> 24);
  p[1] = static_cast<uint8_t>(v >> 16);
  p[2] = static_cast<uint8_t>(v >> 8);
  p[3] = static_cast<uint8_t>(v);
}
