#include "engine/base/SampleBlock.h"

#include <new>

CSampleBlock* CSampleBlock::Create(uint32_t size) {
  // Zeroed: no byte read from a ring is ever uninitialised memory.
  std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size ? size : 1]());
  if (!data) return nullptr;
  auto* block = new (std::nothrow) CSampleBlock;  // one reference, dropped with release()
  if (!block) return nullptr;
  block->data_ = std::move(data);
  block->size_ = size;
  return block;
}

void CSampleBlock::release() {
  if (--count_ == 0) delete this;
}

CSampleBlock::~CSampleBlock() = default;
