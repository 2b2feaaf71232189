// The ring buffer through which a sound reads its source data. Decoding
// buffers derive from it and replace the reading with decoding.
//
// Reading protocol: SetReadVariables(start, count), then repeatedly Fill
// (which refills only below the threshold), Lock to get one or two readable
// pieces, consume from them, UpdateReadOffset(consumed) and Unlock;
// BytesLeftToRead and BufferFinished tell when the read is complete. A
// loaded-once buffer holds the whole data, filled once at Init; its read
// position wraps at the end of the data, so it can be read again from the
// start without touching the source.
#pragma once

#include <cstdint>

#include "platform/WaveFormat.h"

class CRefObj;
class CSampleBlock;

class CPCMBuffer {
 public:
  CPCMBuffer();
  virtual ~CPCMBuffer();
  CPCMBuffer(const CPCMBuffer&) = delete;
  CPCMBuffer& operator=(const CPCMBuffer&) = delete;

  // Same settings and format, no source, counters zero; a loaded-once copy
  // shares the block and is full, a streaming copy gets an empty block.
  virtual CPCMBuffer* Copy();
  virtual int Init(CRefObj* source, uint32_t size, int loadedOnce, int fillPercent);
  virtual void SetRefObj(CRefObj* source);
  virtual int Fill();
  virtual void LowActivityMode();
  virtual int SetReadVariables(uint64_t start, uint64_t count);
  virtual int AdjustBytesToRead(int64_t delta);
  virtual int Lock(uint8_t** first, uint32_t* firstLen, uint8_t** second, uint32_t* secondLen);
  virtual int Unlock();
  virtual void UpdateReadOffset(uint32_t n);
  virtual int BytesLeftToRead(uint64_t* left);
  virtual int BufferFinished();
  virtual void MarkAsFinished();

  void PrepareStreamingBuffer();
  int PreFilterData() { return 1; }
  CRefObj* GetReferenceObject() const { return source; }

  uint32_t BufferSize() const { return bufferSize; }
  int FillPercent() const { return fillPercent; }
  uint64_t StartOffset() const { return startOffset; }
  uint64_t TotalBytesRead() const { return totalBytesRead; }
  uint64_t TotalBytesToRead() const { return totalBytesToRead; }
  int IsLoadedOnce() const { return loadedOnce; }
  int Streaming() const { return !loadedOnce; }
  int Initialized() const { return initialized; }
  void SetInitialized(int value) { initialized = value; }
  uint32_t NewDataInBuffer() const { return bytesInBuffer; }
  uint64_t GetVirtualStart() const { return virtualStart; }
  void SetVirtualStart(uint64_t start) { virtualStart = start; }
  // Bytes of real data in a loaded-once ring (the source may be shorter than the ring).
  uint32_t LoadedBytes() const { return static_cast<uint32_t>(blockEnd - blockStart); }

  tWAVEFORMATEX format{};  // format of the data, filled by the owner

 protected:
  virtual int FillData(uint32_t n);
  virtual int64_t ReadData(uint8_t* buf, uint32_t len);
  virtual int Seek(uint64_t offset);
  // Copies this buffer's settings into a new buffer of the derived kind.
  void CopySettingsTo(CPCMBuffer* copy);
  void ReleaseBlock();

  CRefObj* source = nullptr;  // not owned
  uint32_t bufferSize = 0;
  int fillPercent = 50;
  uint64_t startOffset = 0;
  uint64_t totalBytesRead = 0;
  uint64_t totalBytesToRead = 0;
  int loadedOnce = 0;
  int initialized = 0;
  int lowActivity = 0;
  CSampleBlock* block = nullptr;
  uint8_t* blockStart = nullptr;
  uint8_t* blockEnd = nullptr;
  uint8_t* readPtr = nullptr;
  uint8_t* writePtr = nullptr;
  int finished = 0;
  int sourceExhausted = 0;
  int moreToRead = 0;
  uint32_t bytesInBuffer = 0;
  uint64_t virtualStart = 0;
};
