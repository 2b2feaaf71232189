// The open streams of one library by handle, and the tag frame of the stream
// flushed last, which beWriteVBRHeader writes. A handle carries a serial
// number beside its slot, so a closed handle stays invalid after its slot is
// reused; 0 is never a handle. Streams are shared out, so a stream closed
// while another thread encodes on it lives until that call returns.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/outside/BladeEnc.h"
#include "platform/outside/mp3enc/LameStream.h"

namespace mp3enc {

class StreamTable {
 public:
  static constexpr uint32_t kSlots = 64;

  // The one table of this library.
  static StreamTable& Instance();

  // BE_ERR_NO_MORE_HANDLES when every slot is taken.
  BE_ERR Add(std::shared_ptr<LameStream> stream, HBE_STREAM* handle);
  // Null for a handle that is not open.
  std::shared_ptr<LameStream> Find(HBE_STREAM handle) const;
  // False for a handle that is not open.
  bool Remove(HBE_STREAM handle);

  // Replaces the kept tag frame (an empty one clears it).
  void KeepTagFrame(std::vector<uint8_t> frame);
  std::vector<uint8_t> TagFrame() const;

 private:
  struct Slot {
    HBE_STREAM handle = 0;
    std::shared_ptr<LameStream> stream;
  };
  // The slot of an open handle, or -1.
  int IndexOf(HBE_STREAM handle) const;

  mutable std::mutex mutex_;
  std::array<Slot, kSlots> slots_;
  uint32_t serial_ = 0;
  std::vector<uint8_t> tagFrame_;
};

}  // namespace mp3enc
