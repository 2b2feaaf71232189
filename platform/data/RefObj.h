// Reference-counted data object: the common interface of disk files, memory
// blocks and the writers and decoders built on them.
//
// Positions. Read, Write, Seek and Tell always work on the whole object, with
// positions counted from its first byte, whatever the data mode.
//
// Data window. The byte range [GetDataStart(), GetDataEnd()) holds the audio
// data inside a container (the payload of a WAV "data" chunk, the frames of an
// MPEG file between its tags). Until SetDataOffsets is called the window is the
// whole object and its end follows the object's size. SeekToData, ReadData and
// WriteData work inside the window.
//
// Virtual start. An offset inside the window at which the data is presented as
// beginning, so that a sound can start later in its file without the callers
// knowing (0 = the window start).
//
// Data mode.
//   0 (the default) - the window is a plain range: SeekToData(offset) goes to
//     the window start + offset, and ReadData stops at the window end.
//   1 - the window is a loop seen from the virtual start: SeekToData(offset)
//     goes to the window start + (virtual start + offset) modulo the data size,
//     and ReadData continues at the window start when it reaches the window
//     end, so it comes up short only when the data cannot be read.
//
// Failures. Counts (Read, Write, ReadData, WriteData) are never negative: 0
// means nothing was moved. Tell and Size give -1 when the object is not open.
// The reason is left in the thread's last error.
#pragma once

#include <atomic>
#include <cstdint>

// Origins of Seek.
enum : int { kSeekBegin = 0, kSeekCurrent = 1, kSeekEnd = 2 };

// Bits of Type().
enum : int { kRefObjFile = 1, kRefObjMemory = 2 };

class CRefObj {
 public:
  CRefObj() = default;
  CRefObj(const CRefObj&) = delete;
  CRefObj& operator=(const CRefObj&) = delete;

  // Holders of the object. It is created with one reference (the creator's);
  // every further holder raises the count and releases through DeleteRefObject.
  std::atomic<int32_t> refCount{1};
  void AddReference() { ++refCount; }

  virtual ~CRefObj();
  // Takes over another object's window, virtual start and data mode (not its data).
  virtual int Copy(CRefObj* from);
  // An independent reader on the same data: own position, same window,
  // virtual start, data mode and position. Null on failure.
  virtual CRefObj* Copy();
  virtual int IsOpen();
  virtual int Close();
  virtual int64_t Read(void* buf, int64_t len);
  virtual int64_t Write(const void* buf, int64_t len);
  // 1 on success; a resulting position below 0 is refused.
  virtual int Seek(int64_t pos, int origin);
  virtual int64_t Tell();
  virtual int64_t Size();
  // kRefObjFile for disk files, kRefObjMemory for memory blocks, 0 otherwise.
  virtual int Type();
  // Sets the window. The end is cut to the object's size, so a damaged length
  // never points past the data that exists; start beyond the end is refused.
  virtual int SetDataOffsets(int64_t start, int64_t end);
  virtual int64_t GetDataStart();
  virtual int64_t GetDataEnd();
  virtual int64_t GetVirtualStart();
  // 1 when start lies inside the window (0 is always accepted).
  virtual int SetVirtualStart(int64_t start);
  virtual int64_t DataSize();
  // 0 or 1 (see above); returns the previous mode.
  virtual int SetDataMode(int mode);
  virtual int SeekToData(int64_t offset);
  // Bytes read from the window at the current position.
  virtual int64_t ReadData(void* buf, int64_t len);
  // Bytes written inside the window at the current position: short at the end
  // of a window that was set, so a container's next chunk is never overwritten.
  // With no window set the object grows.
  virtual int64_t WriteData(const void* buf, int64_t len);

  int GetDataMode() const { return dataMode_; }

 protected:
  // Back to the whole object as window, no virtual start, mode 0 (when new data is opened).
  void ResetDataWindow();

 private:
  int64_t dataStart_ = 0;
  int64_t dataEnd_ = -1;  // -1: follows Size()
  int64_t virtualStart_ = 0;
  int dataMode_ = 0;
};

// Releases one reference and nulls the caller's pointer; the object is
// destroyed with its last reference. A null pointer is ignored.
void DeleteRefObject(CRefObj** obj);
