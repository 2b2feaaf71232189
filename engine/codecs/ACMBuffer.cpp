#include "engine/codecs/ACMBuffer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "engine/codecs/ACMObject.h"
#include "engine/media/SeekMap.h"
#include "platform/data/RefObj.h"

namespace {
constexpr int kMaxPasses = 1000;
constexpr int64_t kMaxDecodedPerPass = 600000;
constexpr int kSeekBlocks = 16;
}  // namespace

CACMBuffer::CACMBuffer(CSeekMap* map) { SetSeekMap(map); }

CACMBuffer::CACMBuffer(CACMBuffer& from) : decoder(from.decoder) {
  from.CopySettingsTo(this);
  SetSeekMap(from.seekMap);
}

CACMBuffer::~CACMBuffer() { CSeekMap::Release(seekMap); }

CPCMBuffer* CACMBuffer::Copy() {
  std::unique_ptr<CACMBuffer> copy(decoder ? decoder->NewBuffer(*this)
                                           : new (std::nothrow) CACMBuffer(*this));
  if (copy && !copy->block && bufferSize) return nullptr;
  return copy.release();  // the caller owns the copy
}

void CACMBuffer::LowActivityMode() {
  sourceBuffer.reset();
  sourceBufferSize = 0;
  CPCMBuffer::LowActivityMode();
}

void CACMBuffer::SetACMObject(ACMObject* d) { decoder = d; }

void CACMBuffer::SetSeekMap(CSeekMap* map) {
  if (map == seekMap) return;
  if (map) map->AddReference();
  CSeekMap::Release(seekMap);
  seekMap = map;
}

void CACMBuffer::DropLeftover() {
  leftover.reset();
  leftoverPos = leftoverSize = 0;
}

int64_t CACMBuffer::SourceBlock() {
  long b = decoder ? decoder->BlockSize(decoder->SourceFormat()) : 0;
  return b > 0 ? b : 1;
}

int64_t CACMBuffer::BufferSanityAdjust(int64_t want, int64_t& sourceBytes) {
  const int64_t b = SourceBlock();
  sourceBytes = b * (decoder->GetSourceBufferSize(want) / b);
  auto minimum = static_cast<uint64_t>(sourceBytes);
  decoder->CheckMinimumSrcSize(&minimum);
  sourceBytes = static_cast<int64_t>(minimum);
  double d = decoder->GetConvertedBufferSize(sourceBytes);
  int64_t e = std::max<int64_t>(1, sourceBytes / b);
  // Grows the read until it decodes to `want`; a codec that will not answer
  // (d stays 0) ends the search.
  for (int pass = 0; d < static_cast<double>(want) && pass < 64; ++pass) {
    int64_t before = sourceBytes;
    sourceBytes += b == 1 ? 512 : b * e;
    d = decoder->GetConvertedBufferSize(sourceBytes);
    if (d <= 0) break;
    int64_t recomputed = decoder->GetSourceBufferSize(static_cast<int64_t>(d));
    if (recomputed > 0) sourceBytes = recomputed;
    if (sourceBytes <= before) e *= 2;
  }
  if (d > kMaxDecodedPerPass) {
    sourceBytes = static_cast<int64_t>(static_cast<double>(sourceBytes) * kMaxDecodedPerPass / d);
    sourceBytes = std::max(b, sourceBytes / b * b);
    d = decoder->GetConvertedBufferSize(sourceBytes);
  }
  return static_cast<int64_t>(std::ceil(d));
}

int64_t CACMBuffer::DecodePass(int64_t sourceBytes, int64_t outSize, TConvertBlock* out) {
  out->reset();
  if (sourceBytes <= 0 || outSize <= 0) return 0;
  if (sourceBytes > sourceBufferSize) {
    // The bytes are read afresh each pass: nothing is carried over.
    std::unique_ptr<char[]> grown(new (std::nothrow) char[static_cast<size_t>(sourceBytes)]);
    if (!grown) return -1;
    sourceBuffer = std::move(grown);
    sourceBufferSize = sourceBytes;
  }
  if (!decoder->EnableStream(1)) return -1;
  TConvertBlock block = NewConvertBlock(outSize);
  if (!block) return -1;
  // A codec may take bytes without output yet (it holds them); read on then.
  for (int pass = 0; pass < kMaxPasses; ++pass) {
    int mode = source->SetDataMode(0);
    int64_t got = source->ReadData(sourceBuffer.get(), sourceBytes);
    source->SetDataMode(mode);
    if (got <= 0) return 0;
    bool atEnd = got < sourceBytes || source->Tell() >= source->GetDataEnd();
    int64_t used = got;
    char* dst = block.release();  // Convert may grow it and hands back the one to keep
    int64_t made = decoder->Convert(sourceBuffer.get(), used, dst, outSize,
                                    started ? CONVERSION_FOLLOWING : CONVERSION_FIRST, atEnd);
    block.reset(dst);
    started = 1;
    if (made < 0) break;
    if (source->GetDataMode() == 1 && source->Tell() >= source->GetDataEnd()) {
      // A looping source starts over: the next conversion is a first one again.
      started = 0;
      source->SeekToData(0);
    } else if (used < got) {
      source->Seek(-(got - used), kSeekCurrent);
    }
    blocksDone += static_cast<uint32_t>(used / SourceBlock());
    if (made > 0) {
      *out = std::move(block);
      return made;
    }
    if (used == 0 || atEnd) return 0;  // bytes the codec cannot use end the data
  }
  return -1;
}

int64_t CACMBuffer::ReadData(uint8_t* dst, uint32_t want) {
  if (!decoder || !source || !dst) return 0;
  int64_t handed = 0;
  if (leftover) {
    int64_t n = std::min<int64_t>(want, leftoverSize - leftoverPos);
    std::memcpy(dst, leftover.get() + leftoverPos, static_cast<size_t>(n));
    leftoverPos += n;
    handed = n;
    if (leftoverPos >= leftoverSize) DropLeftover();
  }
  for (int pass = 0; handed < want && pass < kMaxPasses; ++pass) {
    int64_t sourceBytes = 0;
    int64_t outSize = BufferSanityAdjust(want - handed, sourceBytes);
    int64_t left = source->GetDataEnd() - source->Tell();
    if (left <= 0) break;
    if (left < sourceBytes) {
      sourceBytes = left;
      outSize = static_cast<int64_t>(std::ceil(decoder->GetConvertedBufferSize(sourceBytes)));
    }
    const tWAVEFORMATEX* dest = decoder->DestFormat();
    outSize += dest ? dest->nBlockAlign : 0;  // estimates are rounded; room for one frame more
    TConvertBlock block;
    int64_t made = DecodePass(sourceBytes, outSize, &block);
    if (made <= 0) break;
    int64_t n = std::min<int64_t>(made, want - handed);
    std::memcpy(dst + handed, block.get(), static_cast<size_t>(n));
    handed += n;
    if (n < made) {
      leftover = std::move(block);
      leftoverPos = n;
      leftoverSize = made;
      break;
    }
  }
  totalDecoded += static_cast<uint64_t>(handed);
  return handed;
}

int CACMBuffer::Seek(uint64_t pcmOffset) {
  DropLeftover();
  started = 0;
  if (!decoder || !source) return 0;
  decoder->EnableStream(0);
  const int64_t b = SourceBlock();
  const double perBlock = decoder->GetConvertedBufferSize(b);
  const tWAVEFORMATEX* dest = decoder->DestFormat();
  if (perBlock <= 0 || !dest) return 0;
  int64_t dataSize = source->DataSize();
  uint64_t sourcePos, decodedPos;
  CSeekMap::Point point{};
  if (seekMap && seekMap->Find(pcmOffset, &point)) {
    decodedPos = point.decoded;
    sourcePos = point.source;
    decoder->AdjustSrcOffset(&sourcePos);
  } else {
    auto blocks = static_cast<uint64_t>(static_cast<double>(pcmOffset) / perBlock);
    sourcePos = static_cast<uint64_t>(b) * blocks;
    if (dataSize > 0 && sourcePos >= static_cast<uint64_t>(dataSize)) {
      sourcePos %= static_cast<uint64_t>(dataSize);
      sourcePos -= sourcePos % static_cast<uint64_t>(b);
    }
    uint64_t align = std::max<uint16_t>(dest->nBlockAlign, 1);
    decodedPos = static_cast<uint64_t>(static_cast<double>(sourcePos / b) * perBlock);
    decodedPos -= decodedPos % align;
  }
  blocksDone = static_cast<uint32_t>(sourcePos / b);
  int result = source->Seek(source->GetDataStart() + static_cast<int64_t>(sourcePos), kSeekBegin);
  if (!decoder->EnableStream(1)) return 0;
  // Decodes and drops up to the offset, at least 16 blocks a pass; the rest of
  // the last block is served first. Every pass advances or ends the data.
  while (decodedPos < pcmOffset) {
    int64_t sourceBytes = 0;
    auto distance = static_cast<int64_t>(std::min<uint64_t>(pcmOffset - decodedPos, INT64_MAX));
    int64_t outSize = BufferSanityAdjust(
        std::max(static_cast<int64_t>(perBlock * kSeekBlocks), distance), sourceBytes);
    int64_t left = source->GetDataEnd() - source->Tell();
    if (left <= 0) break;
    if (left < sourceBytes) {
      sourceBytes = left;
      outSize = static_cast<int64_t>(std::ceil(decoder->GetConvertedBufferSize(sourceBytes)));
    }
    outSize += dest->nBlockAlign;
    TConvertBlock block;
    int64_t made = DecodePass(sourceBytes, outSize, &block);
    if (made < 0) return 0;
    if (made == 0) break;
    if (decodedPos + static_cast<uint64_t>(made) > pcmOffset) {
      leftover = std::move(block);
      leftoverPos = static_cast<int64_t>(pcmOffset - decodedPos);
      leftoverSize = made;
      decodedPos = pcmOffset;
      break;
    }
    decodedPos += static_cast<uint64_t>(made);
  }
  return result;
}
