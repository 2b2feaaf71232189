#include "engine/codecs/mpeg/MemoryInput.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "engine/codecs/mpeg/MpegResult.h"

namespace mpegaudio {

namespace {

bool ParseHex(const std::string& s, uint64_t* value) {
  if (s.empty() || s.size() > 16) return false;
  uint64_t v = 0;
  for (char c : s) {
    int digit = c >= '0' && c <= '9'   ? c - '0'
                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                       : -1;
    if (digit < 0) return false;
    v = v << 4 | static_cast<uint64_t>(digit);
  }
  *value = v;
  return true;
}

int Probe(const char* name) {
  return CMemoryInput::ParseName(name ? name : "", nullptr, nullptr) ? 1 : 0;
}

const MpegNamePattern kPatterns[] = {{"", "[null or empty string]"},
                                     {"size@address", "static memory buffer"}};

int Describe(MpegModuleInfo* info) {
  *info = MpegModuleInfo{"Input From Memory", "Version 1.0", nullptr, nullptr, 2, kPatterns};
  return kMpegOk;
}

int New(MpegDecoder*, const char* name, void** instance) {
  std::unique_ptr<CMemoryInput> in(new (std::nothrow) CMemoryInput);
  if (!in) return kMpegErrorOutOfMemory;
  if (!in->SetName(name ? name : "")) return kMpegErrorBadArgument;
  *instance = in.release();  // the decoder owns it until Delete
  return kMpegOk;
}

int Delete(void* instance) {
  delete static_cast<CMemoryInput*>(instance);
  return kMpegOk;
}

int Open(void* instance) { return static_cast<CMemoryInput*>(instance)->Open(); }
int Close(void* instance) { return static_cast<CMemoryInput*>(instance)->Close(); }
int64_t Read(void* instance, void* buffer, int64_t size) {
  return static_cast<CMemoryInput*>(instance)->Read(buffer, size);
}
int Seek(void* instance, int64_t offset) {
  return static_cast<CMemoryInput*>(instance)->Seek(offset);
}
int Seekable(void* instance) { return static_cast<CMemoryInput*>(instance)->Seekable() ? 1 : 0; }
int64_t Size(void* instance) { return static_cast<CMemoryInput*>(instance)->Size(); }
int64_t Message(void* instance, int code, const void* data, int64_t size) {
  return static_cast<CMemoryInput*>(instance)->Message(code, data, size);
}

const MpegInputModule kModule = {
    kMpegModuleVersion, Probe, Describe, New, Delete, Open, Close, Read, Seek,
    Seekable,           Size,  Message};

}  // namespace

const MpegInputModule* MpegMemoryInputModule() { return &kModule; }

std::string MemoryInputBufferName(const void* data, int64_t size) {
  char name[48];
  std::snprintf(name, sizeof name, "%" PRIx64 "@%" PRIx64, static_cast<uint64_t>(size),
                static_cast<uint64_t>(reinterpret_cast<uintptr_t>(data)));
  return name;
}

bool CMemoryInput::ParseName(const std::string& name, const uint8_t** data, int64_t* size) {
  if (name.empty()) {
    if (data) *data = nullptr;
    if (size) *size = -1;
    return true;
  }
  size_t at = name.find('@');
  uint64_t s = 0, a = 0;
  if (at == std::string::npos || !ParseHex(name.substr(0, at), &s) ||
      !ParseHex(name.substr(at + 1), &a))
    return false;
  if (s > static_cast<uint64_t>(INT64_MAX) || (a == 0 && s > 0) || a > UINTPTR_MAX - s)
    return false;
  if (data) *data = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(a));
  if (size) *size = static_cast<int64_t>(s);
  return true;
}

bool CMemoryInput::SetName(const std::string& name) {
  const uint8_t* data = nullptr;
  int64_t size = 0;
  if (!ParseName(name, &data, &size)) return false;
  ring_ = size < 0;
  staticData_ = ring_ ? nullptr : data;
  staticSize_ = ring_ ? 0 : size;
  position_ = 0;
  head_ = count_ = 0;
  return true;
}

int CMemoryInput::Open() {
  head_ = count_ = 0;
  ended_ = false;
  position_ = 0;
  if (ring_ && buffer_.empty()) {
    try {
      buffer_.resize(kMemoryInputRingBytes);
    } catch (const std::bad_alloc&) {
      return kMpegErrorOutOfMemory;
    }
  }
  return kMpegOk;
}

int CMemoryInput::Close() {
  head_ = count_ = 0;
  ended_ = false;
  position_ = 0;
  return kMpegOk;
}

int64_t CMemoryInput::Read(void* buffer, int64_t size) {
  if (size < 0 || (size > 0 && !buffer)) return kMpegErrorBadArgument;
  if (size == 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  if (!ring_) {
    int64_t left = staticSize_ - position_;
    if (left <= 0) return kMpegErrorPastEndOfBuffer;
    int64_t n = size < left ? size : left;
    std::memcpy(out, staticData_ + position_, static_cast<size_t>(n));
    position_ += n;
    return n;
  }
  // The ring hands out all of a request or nothing, so a reader that runs
  // short can come back after the next feed without losing bytes; once the
  // feeder has said that nothing more comes, it hands out what is left.
  if (size > count_) {
    if (!ended_) return kMpegErrorNotEnoughData;
    if (count_ == 0) return 0;
    size = count_;
  }
  int64_t first = kMemoryInputRingBytes - head_;
  if (first > size) first = size;
  std::memcpy(out, buffer_.data() + head_, static_cast<size_t>(first));
  if (size > first) std::memcpy(out + first, buffer_.data(), static_cast<size_t>(size - first));
  head_ = (head_ + size) % kMemoryInputRingBytes;
  count_ -= size;
  return size;
}

int CMemoryInput::Seek(int64_t offset) {
  if (ring_ || offset < 0 || offset > staticSize_) return kMpegErrorBadArgument;
  position_ = offset;
  return kMpegOk;
}

int64_t CMemoryInput::Size() const {
  if (reportedSize_ >= 0) return reportedSize_;
  return ring_ ? 0 : staticSize_;
}

int64_t CMemoryInput::Feed(const uint8_t* data, int64_t size) {
  if (!ring_ || size < 0 || (size > 0 && !data)) return kMpegErrorBadArgument;
  if (buffer_.empty() && Open() != kMpegOk) return kMpegErrorOutOfMemory;
  int64_t room = kMemoryInputRingBytes - count_;
  int64_t n = size < room ? size : room;
  if (n == 0) return 0;
  int64_t tail = (head_ + count_) % kMemoryInputRingBytes;
  int64_t first = kMemoryInputRingBytes - tail;
  if (first > n) first = n;
  std::memcpy(buffer_.data() + tail, data, static_cast<size_t>(first));
  if (n > first) std::memcpy(buffer_.data(), data + first, static_cast<size_t>(n - first));
  count_ += n;
  return n;
}

int64_t CMemoryInput::Message(int code, const void* data, int64_t size) {
  switch (code) {
    case kMemoryInputFeed:
      return Feed(static_cast<const uint8_t*>(data), size);
    case kMemoryInputFlush:
      head_ = count_ = 0;
      ended_ = false;
      return kMpegOk;
    case kMemoryInputEnd:
      if (!ring_) return kMpegErrorBadArgument;
      ended_ = true;
      return kMpegOk;
    case kMemoryInputSetName: {
      if (!data && size != 0) return kMpegErrorBadArgument;
      const char* text = static_cast<const char*>(data);
      std::string name =
          size < 0 ? std::string(text) : std::string(text ? text : "", static_cast<size_t>(size));
      return SetName(name) ? kMpegOk : kMpegErrorBadArgument;
    }
    case kMemoryInputSetSize:
      reportedSize_ = size < 0 ? -1 : size;
      return kMpegOk;
    default:
      return kMpegErrorBadArgument;
  }
}

}  // namespace mpegaudio
