// The streaming buffer of a decoded sound: reads compressed bytes from the
// source data object, has its decoder convert them, and hands out PCM. It
// seeks in the compressed stream, by block arithmetic or, when given one,
// with a seek map.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/base/PCMBuffer.h"
#include "engine/codecs/ACMObject.h"

class CSeekMap;

class CACMBuffer : public CPCMBuffer {
 public:
  explicit CACMBuffer(CSeekMap* seekMap = nullptr);
  // Settings, format, decoder and seek map of another buffer; nothing read yet.
  explicit CACMBuffer(CACMBuffer& from);
  ~CACMBuffer() override;

  CPCMBuffer* Copy() override;
  // Frees the compressed-bytes block, then the ring.
  void LowActivityMode() override;

  // The decoder to convert with; not owned.
  void SetACMObject(ACMObject* decoder);
  ACMObject* GetACMObject() const { return decoder; }
  // Releases the old map and takes a reference to the new one.
  void SetSeekMap(CSeekMap* map);
  CSeekMap* GetSeekMap() const { return seekMap; }

  // Chooses the source bytes to read for `want` decoded bytes and returns the
  // decoded bytes they yield (at most about 600000).
  int64_t BufferSanityAdjust(int64_t want, int64_t& sourceBytes);

  uint32_t BlocksDone() const { return blocksDone; }
  uint64_t TotalDecoded() const { return totalDecoded; }

 protected:
  int64_t ReadData(uint8_t* dst, uint32_t want) override;
  // Positions the decoded stream at pcmOffset; 0 when decoding fails.
  int Seek(uint64_t pcmOffset) override;

 private:
  void DropLeftover();
  int64_t SourceBlock();
  // Reads and converts up to sourceBytes into a new block; the result is the
  // bytes produced (the block in *out), 0 at the end, -1 on failure.
  int64_t DecodePass(int64_t sourceBytes, int64_t outSize, TConvertBlock* out);

  ACMObject* decoder = nullptr;  // not owned
  uint32_t blocksDone = 0;
  TConvertBlock leftover;  // decoded bytes not handed out yet
  int64_t leftoverPos = 0;
  int64_t leftoverSize = 0;
  uint64_t totalDecoded = 0;
  std::unique_ptr<char[]> sourceBuffer;  // compressed bytes of one pass
  int64_t sourceBufferSize = 0;
  int32_t started = 0;
  CSeekMap* seekMap = nullptr;  // one reference
};
