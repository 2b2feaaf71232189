// The stream level of the MPEG decoder: buffers the compressed bytes, finds
// frame headers, skips tags (ID3v2, ID3v1, APE) and junk, and measures
// free-format frames. A header found after junk is trusted only when the
// next frame's header follows where it says and is compatible (or the data
// ends there, or a tag follows), so stray sync patterns in damaged data are
// not decoded as frames.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/codecs/mpeg/MpegHeader.h"

namespace mpegaudio {

class CMpegStream {
 public:
  // Reads up to size bytes: a count, 0 at the end of the stream, or a negative
  // code. kMpegErrorNotEnoughData means "try again later" and must leave the
  // source unchanged; kMpegErrorPastEndOfBuffer counts as the end.
  using ReadFn = int64_t (*)(void* context, uint8_t* buffer, int64_t size);

  // Room for the largest free-format frame this decoder measures plus lookahead.
  static constexpr int64_t kMaxFreeFormatBytes = 8192;

  CMpegStream();
  void SetReader(ReadFn read, void* context);
  // Forgets buffered bytes, pending skips and the sync state.
  void Reset();

  // Makes at least n bytes available at Data(): kMpegOk, kMpegErrorEndOfInput
  // (fewer remain), or a read error such as kMpegErrorNotEnoughData.
  int Fill(int64_t n);
  const uint8_t* Data() const { return buffer_.data() + begin_; }
  int64_t Buffered() const { return end_ - begin_; }
  // Discards the next n bytes, also those not read yet.
  void Skip(int64_t n);

  // Finds the next frame. On kMpegOk *frame points at its h->frameBytes
  // bytes, valid until the next call; the frame counts as consumed. On
  // kMpegErrorNotEnoughData call again when more data is available: nothing
  // already examined is lost. kMpegErrorEndOfInput when no frame remains.
  int NextFrame(FrameHeader* h, const uint8_t** frame);

  int64_t Consumed() const { return consumed_; }  // bytes taken: frames, tags and junk
  int64_t JunkBytes() const { return junk_; }  // bytes skipped as not belonging to a frame or tag
  bool Synced() const { return synced_; }

 private:
  void Drop(int64_t n);
  void DropJunk(int64_t n);
  // 1 when a tag starts at Data() and is being skipped, 0 when none, or a read error.
  int SkipTag();
  bool TagAt(const uint8_t* p, int64_t available) const;
  // Sets h's frame size for a free-format frame: kMpegOk, 1 when no next
  // header could be found, or a read error.
  int MeasureFree(FrameHeader* h);

  ReadFn read_ = nullptr;
  void* context_ = nullptr;
  std::vector<uint8_t> buffer_;
  int64_t begin_ = 0;
  int64_t end_ = 0;
  int64_t pendingSkip_ = 0;
  int64_t consumed_ = 0;
  int64_t junk_ = 0;
  bool eof_ = false;
  bool exactReads_ = false;  // the source refuses reads larger than it holds
  bool synced_ = false;
  FrameHeader ref_;
  int freeBytes_ = 0;  // measured free-format frame size without padding
};

}  // namespace mpegaudio
