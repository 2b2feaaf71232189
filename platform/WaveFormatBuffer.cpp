#include "platform/WaveFormatBuffer.h"

#include <cstring>
#include <new>

bool CWaveFormatBuffer::Set(const tWAVEFORMATEX* format) {
  if (!format) {
    Clear();
    return true;
  }
  return Set(format, format->cbSize);
}

bool CWaveFormatBuffer::Set(const tWAVEFORMATEX* format, size_t extraBytes) {
  if (!format) {
    Clear();
    return true;
  }
  const auto* from = reinterpret_cast<const uint8_t*>(format);
  // The source may be this buffer's own block: the bytes are gathered first.
  std::vector<uint8_t> copy;
  try {
    copy.assign(from, from + sizeof(tWAVEFORMATEX) + extraBytes);
  } catch (const std::bad_alloc&) {
    Clear();
    return false;
  }
  bytes_.swap(copy);
  Record()->cbSize = static_cast<uint16_t>(extraBytes);
  return true;
}

bool CWaveFormatBuffer::Allocate(size_t bytes) {
  Clear();
  try {
    bytes_.assign(bytes < sizeof(tWAVEFORMATEX) ? sizeof(tWAVEFORMATEX) : bytes, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}
