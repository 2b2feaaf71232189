#include "engine/base/SampleBuffer.h"

#include <cstdlib>
#include <cstring>

namespace {

// A record made here carries its own format copy in the same allocation, so
// freeing the record frees the format too.
struct OwnedBuffer {
  _bufferType record;
  tWAVEFORMATEX format;
};

int Width(TPrecisionType precision) {
  switch (precision) {
    case PRECISION_INT16:
      return 2;
    case PRECISION_INT32:
    case PRECISION_FLOAT32:
      return 4;
    default:
      return 8;
  }
}

int32_t ReadNative(const uint8_t* p, bool eightBit) {
  if (eightBit) return (static_cast<int32_t>(*p) - 128) * 256;
  return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

// Stores one 16-bit-scale value into a split array of the given precision.
void StoreSplit(uint8_t* array, uint32_t index, TPrecisionType precision, double value) {
  switch (precision) {
    case PRECISION_INT16: {
      auto v = static_cast<int16_t>(value);
      std::memcpy(array + index * 2, &v, 2);
      break;
    }
    case PRECISION_INT32: {
      auto v = static_cast<int32_t>(value);
      std::memcpy(array + index * 4, &v, 4);
      break;
    }
    case PRECISION_FLOAT32: {
      auto v = static_cast<float>(value);
      std::memcpy(array + index * 4, &v, 4);
      break;
    }
    default:
      std::memcpy(array + index * 8, &value, 8);
      break;
  }
}

double LoadSplit(const uint8_t* array, uint32_t index, TPrecisionType precision) {
  switch (precision) {
    case PRECISION_INT16: {
      int16_t v;
      std::memcpy(&v, array + index * 2, 2);
      return v;
    }
    case PRECISION_INT32: {
      int32_t v;
      std::memcpy(&v, array + index * 4, 4);
      return v;
    }
    case PRECISION_FLOAT32: {
      float v;
      std::memcpy(&v, array + index * 4, 4);
      return v;
    }
    default: {
      double v;
      std::memcpy(&v, array + index * 8, 8);
      return v;
    }
  }
}

// The arrays of records made here are malloc'ed, as DeleteStaticBuffer frees them.
void* CopyOfArray(const void* array, uint32_t bytes) {
  void* copy = std::malloc(bytes ? bytes : 1);
  if (copy) std::memcpy(copy, array, bytes);
  return copy;
}

}  // namespace

int ValidateFormat(tWAVEFORMATEX* format, uint16_t tag) {
  if (!format || format->wFormatTag != tag) return 0;
  if (format->wBitsPerSample != 8 && format->wBitsPerSample != 16) return 0;
  if (format->nChannels != 1 && format->nChannels != 2) return 0;
  if (format->nSamplesPerSec == 0 || format->nSamplesPerSec > 48000) return 0;
  format->cbSize = 0;
  format->nBlockAlign = static_cast<uint16_t>(format->nChannels * format->wBitsPerSample / 8);
  format->nAvgBytesPerSec = format->nSamplesPerSec * format->nBlockAlign;
  return 1;
}

void GetMaxSample(const uint8_t* start, const uint8_t* end, const tWAVEFORMATEX* format,
                  long& maxLeft, long& maxRight) {
  if (!start || !end || !format || end <= start) return;
  const bool eightBit = format->wBitsPerSample == 8;
  const bool stereo = format->nChannels == 2;
  const int sampleBytes = eightBit ? 1 : 2;
  const long frameBytes = sampleBytes * (stereo ? 2 : 1);
  const long frames = (end - start) / frameBytes;
  for (long k = 0; k < frames; ++k, start += frameBytes) {
    long left = ReadNative(start, eightBit);
    if (left < 0) left = -left;
    if (left > maxLeft) maxLeft = left;
    if (stereo) {
      long right = ReadNative(start + sampleBytes, eightBit);
      if (right < 0) right = -right;
      if (right > maxRight) maxRight = right;
    }
  }
  if (!stereo) maxRight = maxLeft;
}

_bufferType* CopyToNewBuffer(const _bufferType* buffer) {
  if (!buffer) return nullptr;
  auto* owned = static_cast<OwnedBuffer*>(std::calloc(1, sizeof(OwnedBuffer)));
  if (!owned) return nullptr;
  _bufferType* copy = &owned->record;
  *copy = *buffer;
  copy->data = buffer->data ? static_cast<uint8_t*>(CopyOfArray(buffer->data, buffer->bufferBytes))
                            : nullptr;
  copy->data2 = buffer->data2
                    ? static_cast<int16_t*>(CopyOfArray(buffer->data2, buffer->bufferBytes))
                    : nullptr;
  if ((buffer->data && !copy->data) || (buffer->data2 && !copy->data2)) {
    DeleteBufferPtr(copy);
    return nullptr;
  }
  return copy;  // the caller deletes it with DeleteBufferPtr
}

_bufferType* CopyToNewBuffer(const tWAVEFORMATEX* format, const uint8_t* data, long bytes,
                             TPrecisionType precision) {
  if (!format || format->nBlockAlign == 0 || bytes < 0) return nullptr;
  auto* owned = static_cast<OwnedBuffer*>(std::calloc(1, sizeof(OwnedBuffer)));
  if (!owned) return nullptr;
  _bufferType* record = &owned->record;
  owned->format = *format;
  record->format = &owned->format;
  const uint32_t frames = static_cast<uint32_t>(bytes / format->nBlockAlign);
  const int width = Width(precision);
  const size_t arrayBytes = static_cast<size_t>(frames) * width;
  record->precision = precision;
  record->data = static_cast<uint8_t*>(std::calloc(arrayBytes ? arrayBytes : 1, 1));
  if (format->nChannels == 2)
    record->data2 = static_cast<int16_t*>(std::calloc(arrayBytes ? arrayBytes : 1, 1));
  if (!record->data || (format->nChannels == 2 && !record->data2)) {
    DeleteBufferPtr(record);
    return nullptr;
  }
  owned->format.wBitsPerSample = static_cast<uint16_t>(width * 8);
  owned->format.nBlockAlign = static_cast<uint16_t>(width);
  owned->format.nAvgBytesPerSec =
      owned->format.wBitsPerSample * format->nChannels * format->nSamplesPerSec / 8;
  record->bufferBytes = static_cast<uint32_t>(arrayBytes);

  _bufferType source{};
  tWAVEFORMATEX sourceFormat = *format;
  source.precision = PRECISION_NATIVE;
  source.format = &sourceFormat;
  source.data = const_cast<uint8_t*>(data);
  source.bufferBytes = source.dataBytes = static_cast<uint32_t>(bytes);
  source.numFrames = frames;
  CopyBufferData(&source, record);
  return record;
}

_bufferType* CopyToNewBuffer(const _bufferType* native, TPrecisionType precision) {
  if (!native) return nullptr;
  return CopyToNewBuffer(native->format, native->data, native->bufferBytes, precision);
}

void CopyBufferData(const _bufferType* source, _bufferType* destination) {
  if (!source || !destination || !source->format || !destination->format) return;
  const tWAVEFORMATEX* sf = source->format;
  const bool stereo = sf->nChannels == 2;
  const int channels = stereo ? 2 : 1;
  const TPrecisionType dp = destination->precision;

  if (!source->data) {
    if (destination->data) std::memset(destination->data, 0, destination->bufferBytes);
    if (destination->data2) std::memset(destination->data2, 0, destination->bufferBytes);
    destination->dataBytes = 0;
    return;
  }

  if (source->precision == PRECISION_NATIVE) {
    const bool eightBit = sf->wBitsPerSample == 8;
    const int sampleBytes = eightBit ? 1 : 2;
    // Never read past the source's bytes nor write past the destination's.
    uint32_t frames = source->numFrames;
    uint32_t available = source->bufferBytes / (sampleBytes * channels);
    if (frames > available) frames = available;
    if (dp == PRECISION_NATIVE) {
      const bool destEight = destination->format->wBitsPerSample == 8;
      uint32_t samples = frames * channels;
      uint32_t room = destination->bufferBytes / (destEight ? 1 : 2);
      if (samples > room) samples = room;
      for (uint32_t i = 0; i < samples; ++i) {
        int32_t v = ReadNative(source->data + i * sampleBytes, eightBit);
        if (destEight) {
          destination->data[i] = eightBit ? source->data[i] : static_cast<uint8_t>((v >> 8) + 128);
        } else {
          destination->data[2 * i] = static_cast<uint8_t>(v & 0xff);
          destination->data[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xff);
        }
      }
      return;
    }
    const int width = Width(dp);
    uint32_t room = destination->bufferBytes / width;
    if (frames > room) frames = room;
    for (uint32_t k = 0; k < frames; ++k) {
      const uint8_t* p = source->data + k * sampleBytes * channels;
      StoreSplit(destination->data, k, dp, ReadNative(p, eightBit));
      if (stereo && destination->data2)
        StoreSplit(reinterpret_cast<uint8_t*>(destination->data2), k, dp,
                   ReadNative(p + sampleBytes, eightBit));
    }
    destination->dataBytes = frames * width;
    return;
  }

  // Split to split: each channel's values are carried over into the
  // destination's precision (16-bit for a 16-bit source).
  const TPrecisionType target = source->precision == PRECISION_INT16 ? PRECISION_INT16 : dp;
  if (target == PRECISION_NATIVE) return;
  const int sourceWidth = Width(source->precision);
  const int width = Width(target);
  uint32_t frames = source->numFrames;
  if (frames > source->bufferBytes / sourceWidth) frames = source->bufferBytes / sourceWidth;
  if (frames > destination->bufferBytes / width) frames = destination->bufferBytes / width;
  for (uint32_t k = 0; k < frames; ++k) {
    StoreSplit(destination->data, k, target, LoadSplit(source->data, k, source->precision));
    if (stereo && source->data2 && destination->data2)
      StoreSplit(reinterpret_cast<uint8_t*>(destination->data2), k, target,
                 LoadSplit(reinterpret_cast<const uint8_t*>(source->data2), k, source->precision));
  }
  destination->precision = target;
  destination->dataBytes = frames * channels * width;
}

void DeleteStaticBuffer(_bufferType* buffer) {
  if (!buffer) return;
  std::free(buffer->data);
  std::free(buffer->data2);
  buffer->data = nullptr;
  buffer->data2 = nullptr;
}

void DeleteBufferPtr(_bufferType*& buffer) {
  if (!buffer) return;
  DeleteStaticBuffer(buffer);
  // Records handed out here are the first member of an OwnedBuffer.
  std::free(reinterpret_cast<OwnedBuffer*>(buffer));
  buffer = nullptr;
}
