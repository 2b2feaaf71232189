#include "engine/media/CDAParser.h"

#include <cstring>

#include "engine/base/EngineErrors.h"
#include "platform/LastError.h"
#include "platform/data/ByteOrder.h"
#include "platform/data/FileObj.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"

namespace {
constexpr int kTrackAt = 2, kSerialAt = 4, kStartTimeAt = 16, kLengthTimeAt = 20;
constexpr long kFramesPerSecond = 75;
}  // namespace

CCDAParser::CCDAParser() = default;
CCDAParser::~CCDAParser() = default;

int CCDAParser::Parse(const char* path) {
  if (!path) return 0;
  CFileObj file;
  if (!file.Open(path, 0, 0)) return 0;
  return Parse(&file);
}

int CCDAParser::Parse(CRefObj* source) {
  if (!source) return 0;
  CRIFF riff;
  _chunkInfo info{};
  if (!riff.Open(source, &info)) {
    SetLastError(kErrCorrupted);
    return 0;
  }
  if (info.type != FourCC("CDDA")) {
    SetLastError(kErrRiffForm);
    return 0;
  }
  if (!riff.SeekToChunk(FourCC("fmt "), 1)) {
    SetLastError(kErrNoFmt);
    return 0;
  }
  uint8_t fmt[kFmtBytes] = {};
  if (riff.ReadCurrentSubChunk(fmt, kFmtBytes) != kFmtBytes) {
    // A track file cut short: nothing of an earlier one may stand for it.
    parsed_ = 0;
    std::memset(fmt_, 0, sizeof fmt_);
    SetLastError(kErrShortFmt);
    return 0;
  }
  std::memcpy(fmt_, fmt, sizeof fmt_);
  parsed_ = 1;
  return 1;
}

int CCDAParser::TrackNum() const { return static_cast<int16_t>(LoadLE16(fmt_ + kTrackAt)); }

unsigned long CCDAParser::SerialNumber() const { return LoadLE32(fmt_ + kSerialAt); }

long CCDAParser::TimeMs(int at) const {
  const long frames = fmt_[at], seconds = fmt_[at + 1], minutes = fmt_[at + 2];
  return frames * 1000 / kFramesPerSecond + minutes * 60000 + seconds * 1000;
}

long CCDAParser::TrackOffset() const { return TimeMs(kStartTimeAt); }
long CCDAParser::TrackLength() const { return TimeMs(kLengthTimeAt); }
