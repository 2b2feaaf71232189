// The memory input module: compressed bytes either arrive through a 64 KiB
// streaming ring that the caller feeds with messages, or are read from a
// static buffer named "size@address" (both hexadecimal).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/codecs/mpeg/MpegModule.h"

namespace mpegaudio {

enum : int {
  kMemoryInputFeed = 4097,   // data, size: copies as many bytes as fit; returns the count taken
  kMemoryInputFlush = 4098,  // empties the ring
  kMemoryInputSetName =
      4099,  // data, size: a new name ("" or "size@address"); size < 0: NUL-terminated
  kMemoryInputSetSize = 4100,  // size: the size the input reports
  // No more bytes will be fed: a read the ring cannot fill takes what it
  // holds, then the input ends. Open, Close and Flush take it back.
  kMemoryInputEnd = 4101,
};

constexpr int64_t kMemoryInputRingBytes = 64 * 1024;

const MpegInputModule* MpegMemoryInputModule();

// Builds the "size@address" name of a static buffer.
std::string MemoryInputBufferName(const void* data, int64_t size);

class CMemoryInput {
 public:
  // False when the name is neither empty nor a valid "size@address".
  static bool ParseName(const std::string& name, const uint8_t** data, int64_t* size);

  bool SetName(const std::string& name);
  int Open();
  int Close();
  int64_t Read(void* buffer, int64_t size);
  int Seek(int64_t offset);
  bool Seekable() const { return !ring_; }
  int64_t Size() const;
  int64_t Message(int code, const void* data, int64_t size);
  int64_t Buffered() const { return ring_ ? count_ : staticSize_ - position_; }

 private:
  int64_t Feed(const uint8_t* data, int64_t size);

  bool ring_ = true;
  bool ended_ = false;           // ring: no more bytes will be fed
  std::vector<uint8_t> buffer_;  // the ring, allocated on first use
  int64_t head_ = 0;             // ring: next byte to read
  int64_t count_ = 0;            // ring: bytes held
  const uint8_t* staticData_ = nullptr;
  int64_t staticSize_ = 0;
  int64_t position_ = 0;  // static buffer: next byte to read
  int64_t reportedSize_ = -1;
};

}  // namespace mpegaudio
