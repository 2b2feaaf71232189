// A reference-counted block of sample memory; copies of a loaded-once
// buffer share one block.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

class CSampleBlock {
 public:
  // A block of `size` bytes with one reference, or null when memory runs out.
  static CSampleBlock* Create(uint32_t size);
  void retain() { ++count_; }
  // Drops one reference; the block and its data go with the last.
  void release();
  uint8_t* Data() const { return data_.get(); }
  uint32_t Size() const { return size_; }

 private:
  CSampleBlock() = default;
  ~CSampleBlock();
  std::atomic<int32_t> count_{1};
  std::unique_ptr<uint8_t[]> data_;
  uint32_t size_ = 0;
};
