// The streaming buffer of a WMA sound: hands out the PCM that the WMA decoder
// object's reader delivers, moving the data object's position along so that
// source positions measure progress as for any decoded sound, and seeks by
// restarting the reader at the time asked for.
#pragma once

#include <cstdint>

#include "engine/codecs/ACMBuffer.h"

class CWMABuffer : public CACMBuffer {
 public:
  explicit CWMABuffer(CSeekMap* seekMap = nullptr) : CACMBuffer(seekMap) {}
  explicit CWMABuffer(CACMBuffer& from) : CACMBuffer(from) {}

  CPCMBuffer* Copy() override;

 protected:
  int64_t ReadData(uint8_t* dst, uint32_t want) override;
  // 0 for a position beyond the stream or when the reader cannot restart there.
  int Seek(uint64_t pcmOffset) override;
};
