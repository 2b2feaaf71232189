#include "engine/base/SampleBlock.h"

#include <cstdlib>
#include <new>

CSampleBlock* CSampleBlock::Create(uint32_t size) {
  auto* block = new (std::nothrow) CSampleBlock;
  if (!block) return nullptr;
  block->data_ = static_cast<uint8_t*>(std::calloc(size ? size : 1, 1));
  if (!block->data_) {
    delete block;
    return nullptr;
  }
  block->size_ = size;
  return block;
}

void CSampleBlock::release() {
  if (--count_ == 0) delete this;
}

CSampleBlock::~CSampleBlock() { std::free(data_); }
