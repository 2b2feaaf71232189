// A wave format together with the extra bytes that follow it (18 + cbSize),
// held in one block: the formats read from "fmt " chunks, kept by sounds and
// copied for the codec layer. An empty buffer holds nothing and gives null.
// Set and Allocate report a lack of memory with false and leave the buffer
// empty; copying a buffer copies its block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "platform/WaveFormat.h"

class CWaveFormatBuffer {
 public:
  CWaveFormatBuffer() = default;

  // The record and the cbSize extra bytes behind it; null empties the buffer.
  bool Set(const tWAVEFORMATEX* format);
  // The record and the first extraBytes bytes behind it, with cbSize set to
  // that count (at most 65535; for callers that limit or drop the extra bytes).
  bool Set(const tWAVEFORMATEX* format, size_t extraBytes);
  // A zeroed block of bytes bytes, never fewer than the record's 18, to be
  // filled in place (a "fmt " chunk read into it, a longer record built in it).
  bool Allocate(size_t bytes);
  void Clear() { bytes_.clear(); }

  tWAVEFORMATEX* Get() { return bytes_.empty() ? nullptr : Record(); }
  const tWAVEFORMATEX* Get() const {
    return bytes_.empty() ? nullptr : reinterpret_cast<const tWAVEFORMATEX*>(bytes_.data());
  }
  // Bytes held: 18 + cbSize after Set, what was asked for after Allocate.
  size_t size() const { return bytes_.size(); }
  bool empty() const { return bytes_.empty(); }

  // The block as a longer record that begins with the wave format (such as
  // the MPEG layer-3 format); null when the block is shorter than T.
  template <class T>
  T* As() {
    static_assert(std::is_trivially_copyable_v<T> && std::is_standard_layout_v<T>);
    static_assert(alignof(T) <= alignof(std::max_align_t));
    return bytes_.size() >= sizeof(T) ? reinterpret_cast<T*>(bytes_.data()) : nullptr;
  }

 private:
  tWAVEFORMATEX* Record() { return reinterpret_cast<tWAVEFORMATEX*>(bytes_.data()); }

  std::vector<uint8_t> bytes_;
};
