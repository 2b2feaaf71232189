#include "engine/base/PCMBuffer.h"

#include <algorithm>
#include <memory>
#include <new>

#include "engine/base/SampleBlock.h"
#include "platform/data/RefObj.h"

CPCMBuffer::CPCMBuffer() = default;

CPCMBuffer::~CPCMBuffer() { ReleaseBlock(); }

void CPCMBuffer::ReleaseBlock() {
  if (block) block->release();
  block = nullptr;
  blockStart = blockEnd = readPtr = writePtr = nullptr;
  bytesInBuffer = 0;
}

void CPCMBuffer::CopySettingsTo(CPCMBuffer* copy) {
  copy->bufferSize = bufferSize;
  copy->fillPercent = fillPercent;
  copy->virtualStart = virtualStart;
  copy->format = format;
  copy->loadedOnce = loadedOnce;
  copy->initialized = 1;
  if (loadedOnce) {
    if (block) {
      block->retain();
      copy->block = block;
      copy->blockStart = copy->readPtr = blockStart;
      copy->blockEnd = copy->writePtr = blockEnd;
      copy->bytesInBuffer = static_cast<uint32_t>(blockEnd - blockStart);
    }
    copy->sourceExhausted = 1;
  } else {
    copy->block = CSampleBlock::Create(bufferSize);
    if (copy->block) {
      copy->blockStart = copy->readPtr = copy->writePtr = copy->block->Data();
      copy->blockEnd = copy->blockStart + bufferSize;
    }
  }
}

CPCMBuffer* CPCMBuffer::Copy() {
  std::unique_ptr<CPCMBuffer> copy(new (std::nothrow) CPCMBuffer);
  if (!copy) return nullptr;
  CopySettingsTo(copy.get());
  if (!copy->block && bufferSize) return nullptr;
  return copy.release();  // the caller owns the copy
}

int CPCMBuffer::Init(CRefObj* src, uint32_t size, int once, int percent) {
  ReleaseBlock();
  source = src;
  bufferSize = size;
  loadedOnce = once;
  fillPercent = percent;
  lowActivity = 0;
  block = CSampleBlock::Create(size);
  if (!block) return 0;
  blockStart = readPtr = writePtr = block->Data();
  blockEnd = blockStart + size;
  bytesInBuffer = 0;
  totalBytesRead = startOffset = 0;
  finished = sourceExhausted = 0;
  if (loadedOnce) {
    totalBytesToRead = size;
    Fill();
    // A source shorter than the ring: the ring ends with the data, so the
    // unread rest is never handed out as audio.
    blockEnd = blockStart + bytesInBuffer;
    SetReadVariables(0, bytesInBuffer);
    sourceExhausted = 1;
  }
  initialized = 1;
  return 1;
}

void CPCMBuffer::SetRefObj(CRefObj* src) { source = src; }

int CPCMBuffer::Fill() {
  if (lowActivity) {
    PrepareStreamingBuffer();
    lowActivity = 0;
  }
  if (sourceExhausted) return 1;
  if (!block || bufferSize == 0) return 0;
  if (static_cast<uint64_t>(bytesInBuffer) * 100 / bufferSize > static_cast<uint64_t>(fillPercent))
    return 0;
  uint64_t n = bufferSize - bytesInBuffer;
  uint64_t remaining = totalBytesToRead > totalBytesRead ? totalBytesToRead - totalBytesRead : 0;
  if (n > remaining) n = remaining;
  if (n) FillData(static_cast<uint32_t>(n));
  return 1;
}

int CPCMBuffer::FillData(uint32_t n) {
  uint32_t got = 0;
  while (got < n) {
    if (writePtr == blockEnd) writePtr = blockStart;
    uint32_t piece = std::min<uint32_t>(n - got, static_cast<uint32_t>(blockEnd - writePtr));
    uint32_t pieceGot = 0;
    while (pieceGot < piece) {
      int64_t r = ReadData(writePtr + pieceGot, piece - pieceGot);
      if (r <= 0) break;
      pieceGot += static_cast<uint32_t>(r);
    }
    got += pieceGot;
    bytesInBuffer += pieceGot;
    writePtr += pieceGot;
    if (writePtr == blockEnd) writePtr = blockStart;
    if (pieceGot < piece) {
      sourceExhausted = 1;
      break;
    }
  }
  return got == n;
}

int64_t CPCMBuffer::ReadData(uint8_t* buf, uint32_t len) {
  if (!source) return 0;
  int64_t r = source->ReadData(buf, len);
  return r < 0 ? 0 : r;
}

int CPCMBuffer::Seek(uint64_t offset) {
  if (!source) return 0;
  int64_t size = source->DataSize();
  int64_t pos = size > 0 ? static_cast<int64_t>(offset % static_cast<uint64_t>(size)) : 0;
  return source->Seek(source->GetDataStart() + pos, kSeekBegin) ? 1 : 0;
}

int CPCMBuffer::SetReadVariables(uint64_t start, uint64_t count) {
  finished = 0;
  totalBytesRead = 0;
  startOffset = start + virtualStart;
  if (loadedOnce) {
    // The whole data is in the ring; the source is never read again.
    sourceExhausted = 1;
    uint64_t extent = static_cast<uint64_t>(blockEnd - blockStart);
    readPtr = blockStart + (extent ? startOffset % extent : 0);
    writePtr = blockEnd;
    bytesInBuffer = static_cast<uint32_t>(extent);
  } else {
    sourceExhausted = 0;
    readPtr = writePtr = blockStart;
    bytesInBuffer = 0;
    if (!Seek(startOffset)) return 0;
  }
  totalBytesToRead = count;
  moreToRead = 1;
  return 1;
}

int CPCMBuffer::AdjustBytesToRead(int64_t delta) {
  if (delta < 0 && static_cast<uint64_t>(-delta) > totalBytesToRead)
    totalBytesToRead = 0;
  else
    totalBytesToRead += delta;
  if (totalBytesRead >= totalBytesToRead) finished = 1;
  return 1;
}

int CPCMBuffer::Lock(uint8_t** first, uint32_t* firstLen, uint8_t** second, uint32_t* secondLen) {
  if (bytesInBuffer == 0 || !block) {
    *first = *second = readPtr;
    *firstLen = *secondLen = 0;
    return 1;
  }
  if (readPtr < writePtr) {
    *first = readPtr;
    *firstLen = static_cast<uint32_t>(writePtr - readPtr);
    *second = nullptr;
    *secondLen = 0;
    return 1;
  }
  *first = readPtr;
  *firstLen = static_cast<uint32_t>(blockEnd - readPtr);
  if (writePtr == blockStart) {
    *second = nullptr;
    *secondLen = 0;
  } else {
    *second = blockStart;
    *secondLen = static_cast<uint32_t>(writePtr - blockStart);
  }
  return 1;
}

int CPCMBuffer::Unlock() { return 1; }

void CPCMBuffer::UpdateReadOffset(uint32_t n) {
  uint32_t m = std::min(n, bytesInBuffer);
  if (!loadedOnce) bytesInBuffer -= m;
  if (block && blockEnd > blockStart) {
    uint64_t extent = static_cast<uint64_t>(blockEnd - blockStart);
    uint64_t at = (static_cast<uint64_t>(readPtr - blockStart) + m) % extent;
    readPtr = blockStart + at;
  }
  totalBytesRead += n;
  if (totalBytesRead >= totalBytesToRead) finished = 1;
}

int CPCMBuffer::BytesLeftToRead(uint64_t* left) {
  uint64_t rest = totalBytesToRead > totalBytesRead ? totalBytesToRead - totalBytesRead : 0;
  if (left) *left = rest;
  if (rest == 0) moreToRead = 0;
  return moreToRead;
}

int CPCMBuffer::BufferFinished() { return finished; }

void CPCMBuffer::MarkAsFinished() { finished = 1; }

void CPCMBuffer::LowActivityMode() {
  if (loadedOnce || lowActivity) return;
  ReleaseBlock();
  lowActivity = 1;
}

// A fresh ring for a streaming buffer. What the old ring held but the reader
// had not consumed is read again: the source goes back to the reader's position.
void CPCMBuffer::PrepareStreamingBuffer() {
  if (loadedOnce) return;
  ReleaseBlock();
  block = CSampleBlock::Create(bufferSize);
  if (!block) return;
  blockStart = readPtr = writePtr = block->Data();
  blockEnd = blockStart + bufferSize;
  bytesInBuffer = 0;
  if (initialized && source) Seek(startOffset + totalBytesRead);
}
