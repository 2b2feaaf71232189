#include "utilities/data/ByteQueue.h"

#include <algorithm>
#include <cstring>
#include <new>

using Guard = std::lock_guard<std::recursive_mutex>;

CByteQueue::CByteQueue() = default;

CByteQueue::CByteQueue(const CByteQueue& other) { *this = other; }

CByteQueue& CByteQueue::operator=(const CByteQueue& other) {
  if (this == &other) return *this;
  // Both locks, in address order, so two queues assigned to each other
  // from two threads cannot deadlock.
  std::scoped_lock both(lock_, const_cast<CByteQueue&>(other).lock_);
  blocks_.clear();
  recycle_ = other.recycle_;
  for (const auto& b : other.blocks_) {
    if (b->available == 0) continue;
    auto copy = std::unique_ptr<Block>(new (std::nothrow) Block);
    if (!copy) break;
    copy->storage.reset(new (std::nothrow) unsigned char[b->available]);
    if (!copy->storage) break;
    std::memcpy(copy->storage.get(), b->storage.get() + b->readPos, b->available);
    copy->available = copy->capacity = b->available;
    blocks_.push_back(std::move(copy));
  }
  return *this;
}

CByteQueue::~CByteQueue() = default;

bool CByteQueue::Recyclable(const Block& b) const {
  return recycle_ && b.capacity >= kMinRecycleSize && b.capacity <= kMaxRecycleSize;
}

unsigned long CByteQueue::RecycledRoom() const {
  unsigned long room = 0;
  for (const auto& b : blocks_) {
    if (b->available > 0)
      room += b->freeRoom;
    else if (b->Emptied())
      room += b->capacity;
  }
  return room;
}

unsigned long CByteQueue::AddDataToRecycledBuffers(const unsigned char* data,
                                                   unsigned long length) {
  unsigned long placed = 0;
  for (auto& b : blocks_) {
    if (placed == length) break;
    if (b->available > 0) {
      if (b->freeRoom == 0) continue;
      const unsigned long n = std::min(b->freeRoom, length - placed);
      std::memcpy(b->storage.get() + b->readPos + b->available, data + placed, n);
      b->available += n;
      b->freeRoom -= n;
      placed += n;
    } else if (b->Emptied()) {
      const unsigned long n = std::min(b->capacity, length - placed);
      std::memcpy(b->storage.get(), data + placed, n);
      b->readPos = 0;
      b->available = n;
      b->freeRoom = b->capacity - n;
      placed += n;
    }
  }
  return placed;
}

bool CByteQueue::AddData(const unsigned char* data, unsigned long length) {
  if (!data || length == 0) return false;
  Guard guard(lock_);
  const unsigned long room = recycle_ ? RecycledRoom() : 0;
  // What the held blocks cannot take gets its block before anything is
  // placed, so running out of memory leaves the queue as it was.
  std::unique_ptr<Block> fresh;
  if (length > room) {
    const unsigned long rest = length - room;
    fresh.reset(new (std::nothrow) Block);
    if (!fresh) return false;
    fresh->storage.reset(new (std::nothrow) unsigned char[rest]);
    if (!fresh->storage) return false;
    try {
      blocks_.reserve(std::max<size_t>(blocks_.size() + 1, 8));
    } catch (const std::bad_alloc&) {
      return false;
    }
    fresh->available = fresh->capacity = rest;
  }
  const unsigned long placed = room > 0 ? AddDataToRecycledBuffers(data, length) : 0;
  if (fresh) {
    std::memcpy(fresh->storage.get(), data + placed, fresh->available);
    // Data blocks come first, in order; emptied ones stay behind them.
    auto firstEmpty = std::find_if(blocks_.begin(), blocks_.end(),
                                   [](const auto& b) { return b->available == 0; });
    blocks_.insert(firstEmpty, std::move(fresh));
  }
  return true;
}

unsigned long CByteQueue::GetData(unsigned char* out, unsigned long length) {
  if (!out || length == 0) return 0;
  Guard guard(lock_);
  unsigned long copied = 0;
  size_t visited = 0;
  for (; visited < blocks_.size() && copied < length; ++visited) {
    Block& b = *blocks_[visited];
    if (b.available == 0) break;
    const unsigned long n = std::min(b.available, length - copied);
    std::memcpy(out + copied, b.storage.get() + b.readPos, n);
    copied += n;
    b.available -= n;
    b.readPos = b.available ? b.readPos + n : 0;
  }
  // Blocks read out are recycled to the end or freed.
  std::vector<std::unique_ptr<Block>> kept;
  size_t emptied = 0;
  while (emptied < visited && blocks_[emptied]->available == 0) ++emptied;
  for (size_t i = 0; i < emptied; ++i) {
    Block& b = *blocks_[i];
    if (Recyclable(b)) {
      b.readPos = 0;
      b.freeRoom = b.capacity;
      kept.push_back(std::move(blocks_[i]));
    }
  }
  if (emptied > 0) {
    blocks_.erase(blocks_.begin(), blocks_.begin() + static_cast<std::ptrdiff_t>(emptied));
    for (auto& b : kept) blocks_.push_back(std::move(b));
  }
  return copied;
}

unsigned long CByteQueue::TotalBytesAvailable() {
  Guard guard(lock_);
  unsigned long total = 0;
  for (const auto& b : blocks_) total += b->available;
  return total;
}

void CByteQueue::RemoveEverything() {
  Guard guard(lock_);
  blocks_.clear();
  blocks_.shrink_to_fit();
}

bool CByteQueue::RecycleBuffers() {
  Guard guard(lock_);
  return recycle_;
}

void CByteQueue::SetRecycleBuffers(bool on) {
  Guard guard(lock_);
  if (blocks_.empty()) recycle_ = on;
}

void CByteQueue::SetMinRecycleBufferSize(unsigned long) {}
void CByteQueue::SetMaxRecycleBufferSize(unsigned long) {}

size_t CByteQueue::BlockCount() {
  Guard guard(lock_);
  return blocks_.size();
}
