#include "engine/media/VBitRate.h"

#include <cstring>

namespace {
uint32_t BigEndian32(const char* p) {
  const unsigned char* u = reinterpret_cast<const unsigned char*>(p);
  return (uint32_t(u[0]) << 24) | (uint32_t(u[1]) << 16) | (uint32_t(u[2]) << 8) | u[3];
}
}  // namespace

int32_t CVBitRate::FrameCount(const char* bytes, int available) {
  // Frames flag in the low byte of the big-endian flags word; a count beyond
  // the signed range is no count we can use.
  if (!bytes || available < 12 || !(bytes[7] & 1) || BigEndian32(bytes + 8) > 0x7FFFFFFFu)
    return -1;
  return static_cast<int32_t>(BigEndian32(bytes + 8));
}

int CVBitRate::loadHeader(const char* bytes, int available) {
  frames = -1;
  if (!bytes || available < 4 || std::memcmp(bytes, "Xing", 4) != 0) return 0;
  frames = FrameCount(bytes, available);
  return 1;
}
