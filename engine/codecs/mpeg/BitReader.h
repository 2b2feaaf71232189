// Reads bit fields MSB first from a byte buffer; bits past the end read as
// zero instead of touching other memory, and the reader is then overrun.
// Away from the end a look at the stream is one 8-byte load, so the layer III
// Huffman decoder peeks and skips through it directly.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mpegaudio {

class CBitReader {
 public:
  CBitReader(const uint8_t* data, size_t len)
      : data_(data), bits_(int64_t(len) * 8), loadEnd_(bits_ - 64) {}

  // The next 32 bits without moving on.
  uint32_t Peek32() const {
    if (pos_ <= loadEnd_) return Load();
    return PeekNearEnd(data_, bits_ >> 3, pos_);
  }
  // The same without a look at the end, for the hottest loops: only where
  // len counts guard bytes behind the data (at least 8 more than any
  // position the caller lets the reader reach).
  uint32_t PeekGuarded() const {
    assert(pos_ <= loadEnd_);
    return Load();
  }
  void Skip(int n) { pos_ += n; }
  // n in 0..32.
  uint32_t Read(int n) {
    uint32_t v = n ? Peek32() >> (32 - n) : 0;
    pos_ += n;
    return v;
  }

  int64_t Position() const { return pos_; }
  void SetPosition(int64_t bit) { pos_ = bit; }
  // True when the position lies past the end: some bits read were not there.
  bool Overrun() const { return pos_ > bits_; }

 private:
  uint32_t Load() const {
    uint64_t v;
    std::memcpy(&v, data_ + (pos_ >> 3), 8);
    return uint32_t((__builtin_bswap64(v) << (pos_ & 7)) >> 32);
  }
  // The 32 bits at pos of bytes[0, len) followed by zeros. Static, so that the
  // reader itself does not escape from the fast path into this call.
  [[gnu::noinline]] static uint32_t PeekNearEnd(const uint8_t* bytes, int64_t len, int64_t pos) {
    uint64_t v = 0;
    for (int64_t i = pos >> 3; i < (pos >> 3) + 8; ++i) v = (v << 8) | (i < len ? bytes[i] : 0);
    return uint32_t((v << (pos & 7)) >> 32);
  }

  const uint8_t* data_;
  int64_t bits_;
  int64_t loadEnd_;  // the last position with 8 bytes to load from
  int64_t pos_ = 0;
};

}  // namespace mpegaudio
