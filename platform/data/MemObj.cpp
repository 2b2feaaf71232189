#include "platform/data/MemObj.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include "platform/LastError.h"

struct CMemObj::Block {
  std::mutex lock;
  std::vector<unsigned char> bytes;
};

CMemObj::CMemObj() = default;
CMemObj::~CMemObj() = default;

int CMemObj::Create() { return Create(nullptr, 0); }

int CMemObj::Create(const void* data, int64_t len) {
  Close();
  if (len < 0 || (len > 0 && data == nullptr)) {
    SetLastError(EINVAL);
    return 0;
  }
  try {
    auto block = std::make_shared<Block>();
    const auto* p = static_cast<const unsigned char*>(data);
    if (len > 0) block->bytes.assign(p, p + len);
    block_ = std::move(block);
  } catch (const std::bad_alloc&) {
    SetLastError(ENOMEM);
    return 0;
  }
  pos_ = 0;
  ResetDataWindow();
  return 1;
}

CRefObj* CMemObj::Copy() {
  if (!block_) {
    SetLastError(EBADF);
    return nullptr;
  }
  auto* copy = new (std::nothrow) CMemObj();
  if (copy == nullptr) {
    SetLastError(ENOMEM);
    return nullptr;
  }
  copy->block_ = block_;
  copy->pos_ = pos_;
  copy->CRefObj::Copy(this);
  return copy;
}

int CMemObj::IsOpen() { return block_ != nullptr; }

int CMemObj::Close() {
  block_.reset();
  pos_ = 0;
  return 1;
}

int64_t CMemObj::Read(void* buf, int64_t len) {
  if (!block_) {
    SetLastError(EBADF);
    return 0;
  }
  if (buf == nullptr || len <= 0) return 0;
  std::lock_guard<std::mutex> hold(block_->lock);
  int64_t size = static_cast<int64_t>(block_->bytes.size());
  if (pos_ >= size) return 0;
  int64_t n = std::min(len, size - pos_);
  std::memcpy(buf, block_->bytes.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t CMemObj::Write(const void* buf, int64_t len) {
  if (!block_) {
    SetLastError(EBADF);
    return 0;
  }
  if (buf == nullptr || len <= 0) return 0;
  std::lock_guard<std::mutex> hold(block_->lock);
  auto& bytes = block_->bytes;
  if (pos_ + len > static_cast<int64_t>(bytes.size())) {
    try {
      bytes.resize(static_cast<size_t>(pos_ + len));
    } catch (const std::exception&) {
      SetLastError(ENOMEM);
      return 0;
    }
  }
  std::memcpy(bytes.data() + pos_, buf, static_cast<size_t>(len));
  pos_ += len;
  return len;
}

int CMemObj::Seek(int64_t pos, int origin) {
  if (!block_) {
    SetLastError(EBADF);
    return 0;
  }
  int64_t base = 0;
  if (origin == kSeekCurrent)
    base = pos_;
  else if (origin == kSeekEnd)
    base = Size();
  else if (origin != kSeekBegin) {
    SetLastError(EINVAL);
    return 0;
  }
  if (base + pos < 0) {
    SetLastError(EINVAL);
    return 0;
  }
  pos_ = base + pos;
  return 1;
}

int64_t CMemObj::Tell() { return block_ ? pos_ : -1; }

int64_t CMemObj::Size() {
  if (!block_) return -1;
  std::lock_guard<std::mutex> hold(block_->lock);
  return static_cast<int64_t>(block_->bytes.size());
}

int CMemObj::Type() { return kRefObjMemory; }
