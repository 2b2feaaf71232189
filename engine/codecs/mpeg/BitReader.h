// Reads bit fields MSB first from a byte buffer; reading past the end gives
// zero bits and marks the reader as overrun instead of touching other memory.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mpegaudio {

class CBitReader {
 public:
  CBitReader(const uint8_t* data, size_t len) : data_(data), bits_(int64_t(len) * 8) {}

  // n in 0..24.
  uint32_t Read(int n) {
    if (pos_ + 32 <= bits_) {
      const uint8_t* p = data_ + (pos_ >> 3);
      uint32_t w = (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
      w <<= (pos_ & 7);
      pos_ += n;
      return n ? w >> (32 - n) : 0;
    }
    if (pos_ + n > bits_) overrun_ = true;
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 1) | ReadBitChecked();
    return v;
  }

  int64_t Position() const { return pos_; }
  bool Overrun() const { return overrun_; }

 private:
  uint32_t ReadBitChecked() {
    uint32_t bit = 0;
    if (pos_ < bits_) bit = (data_[pos_ >> 3] >> (7 - (pos_ & 7))) & 1;
    ++pos_;
    return bit;
  }

  const uint8_t* data_;
  int64_t bits_;
  int64_t pos_ = 0;
  bool overrun_ = false;
};

}  // namespace mpegaudio
