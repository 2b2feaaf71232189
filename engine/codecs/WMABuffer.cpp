#include "engine/codecs/WMABuffer.h"

#include <algorithm>
#include <new>

#include "engine/codecs/WMAObject.h"
#include "platform/data/RefObj.h"

CPCMBuffer* CWMABuffer::Copy() {
  auto* copy = new (std::nothrow) CWMABuffer(*this);
  if (copy && !copy->block && bufferSize) {
    delete copy;
    return nullptr;
  }
  return copy;
}

int64_t CWMABuffer::ReadData(uint8_t* dst, uint32_t want) {
  auto* wma = dynamic_cast<WMAObject*>(GetACMObject());
  if (!wma || !source || !dst || want == 0) return 0;
  // The first read of a stream that was never started or sought starts it.
  const TConversionFlag flag = wma->IsStarted() ? CONVERSION_FOLLOWING : CONVERSION_FIRST;
  int64_t used = 0;
  char* out = reinterpret_cast<char*>(dst);
  const int64_t made = wma->Convert(nullptr, used, out, want, flag, 0);
  if (made <= 0) return 0;
  const int64_t left = source->GetDataEnd() - source->Tell();
  // The window is an estimate of the stream's size: once the reader has
  // delivered its last sample, the whole window has been read.
  if (wma->IsEOF() && wma->BytesAvailable() == 0)
    source->Seek(source->GetDataEnd(), kSeekBegin);
  else if (left > 0 && used > 0)
    source->Seek(std::min(used, left), kSeekCurrent);
  return made;
}

int CWMABuffer::Seek(uint64_t pcmOffset) {
  auto* wma = dynamic_cast<WMAObject*>(GetACMObject());
  if (!wma || !source) return 0;
  const tWAVEFORMATEX* dest = wma->DestFormat();
  if (!dest || dest->nAvgBytesPerSec == 0) return 0;
  const int64_t position = wma->GetSourceBufferSize(static_cast<int64_t>(pcmOffset));
  if (position > std::max(source->DataSize(), wma->GetDataSize())) return 0;
  source->SeekToData(std::min(position, source->DataSize()));
  return wma->Seek(static_cast<double>(pcmOffset) * 1000.0 / dest->nAvgBytesPerSec);
}
