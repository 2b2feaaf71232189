// The "Xing" variable-bit-rate header that encoders put into the first frame
// of a stream: how many frames the stream holds.
#pragma once

#include <cstdint>

class CVBitRate {
 public:
  // Bytes loadHeader looks at: the identifier, the flags and the frame count.
  static constexpr int kHeaderBytes = 12;

  // bytes holds `available` bytes. 1 when they begin with "Xing"; the count is
  // the one the frames flag announces, -1 when the flag is clear or the count
  // was cut off. 0 otherwise, with the count -1.
  int loadHeader(const char* bytes, int available = kHeaderBytes);
  int getNumberOfFrames() const { return frames; }
  // The frame count of a header of this layout (also the "Info" header that
  // encoders write into constant-rate streams), -1 when it has none.
  static int32_t FrameCount(const char* bytes, int available);

 private:
  int32_t frames = -1;
};
