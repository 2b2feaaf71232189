// A data object over a growable block of memory.
//
// Copies share the bytes (writes through one are seen by all) and each has its
// own position and window; the block lives as long as any of them. Access to
// the shared bytes is locked, so copies may be used from different threads.
#pragma once

#include <memory>

#include "platform/data/RefObj.h"

class CMemObj : public CRefObj {
 public:
  CMemObj();
  ~CMemObj() override;

  CRefObj* Copy() override;
  using CRefObj::Copy;
  int IsOpen() override;
  // Drops this object's hold on the bytes.
  int Close() override;
  int64_t Read(void* buf, int64_t len) override;
  // Writing past the end grows the block; a gap is filled with zeros.
  int64_t Write(const void* buf, int64_t len) override;
  int Seek(int64_t pos, int origin) override;
  int64_t Tell() override;
  int64_t Size() override;
  int Type() override;

  // A new empty block.
  int Create();
  // A new block holding a copy of len bytes.
  int Create(const void* data, int64_t len);

 private:
  struct Block;
  std::shared_ptr<Block> block_;
  int64_t pos_ = 0;
};
