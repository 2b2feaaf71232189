// A first-in, first-out queue of bytes that one thread fills and another
// drains: the WMA decoder queues the PCM its reader delivers on a thread of
// its own, and the engine takes it out block by block.
//
// The bytes sit in separately allocated blocks. A block read out completely
// is kept and refilled instead of freed when its size lies between the
// recycle limits, so a steady stream of equal deliveries of that size runs
// without allocations; smaller and larger blocks are freed once read.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

class CByteQueue {
 public:
  CByteQueue();
  // Deep copies: every block with unread bytes becomes a block of exactly
  // those bytes; the recycle settings go along.
  CByteQueue(const CByteQueue& other);
  CByteQueue& operator=(const CByteQueue& other);
  ~CByteQueue();

  // True when all bytes were queued; null data or length 0 gives false. When
  // memory runs out nothing of the delivery is queued.
  bool AddData(const unsigned char* data, unsigned long length);
  // The bytes copied out (0 when the queue is empty or an argument is null or 0).
  unsigned long GetData(unsigned char* out, unsigned long length);
  unsigned long TotalBytesAvailable();
  void RemoveEverything();

  bool RecycleBuffers();
  // Takes effect only while the queue holds no block.
  void SetRecycleBuffers(bool on);
  unsigned long MinRecycleBufferSize() const { return kMinRecycleSize; }
  unsigned long MaxRecycleBufferSize() const { return kMaxRecycleSize; }
  // The limits are fixed; these accept a size and change nothing.
  void SetMinRecycleBufferSize(unsigned long size);
  void SetMaxRecycleBufferSize(unsigned long size);

  // Hold the queue's lock across several calls (it may be taken recursively).
  void Lock() { lock_.lock(); }
  void Unlock() { lock_.unlock(); }

  // The blocks held, for tests of the recycling.
  size_t BlockCount();

 private:
  static constexpr unsigned long kMinRecycleSize = 32000;
  static constexpr unsigned long kMaxRecycleSize = 1000000;

  struct Block {
    std::unique_ptr<unsigned char[]> storage;
    unsigned long readPos = 0;    // next unread byte
    unsigned long available = 0;  // unread bytes from readPos
    unsigned long capacity = 0;
    unsigned long freeRoom = 0;  // writable bytes at the end
    bool Emptied() const { return available == 0 && (freeRoom == capacity || freeRoom == 0); }
  };

  // The bytes the held blocks can still take without an allocation.
  unsigned long RecycledRoom() const;
  // Places bytes into the held blocks' room; the bytes placed.
  unsigned long AddDataToRecycledBuffers(const unsigned char* data, unsigned long length);
  bool Recyclable(const Block& b) const;

  std::vector<std::unique_ptr<Block>> blocks_;
  std::recursive_mutex lock_;
  bool recycle_ = true;
};
