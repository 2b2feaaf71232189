#include "platform/riff/RIFF.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/LastError.h"
#include "platform/data/ByteOrder.h"
#include "platform/data/RefObj.h"

namespace {

// The RIFF length counts everything behind the first 8 bytes of the file.
constexpr int64_t kMaxRiffLength = 0xFFFFFFFFLL;

bool IsContainer(uint32_t id) { return id == kFourCCList || id == kFourCCRiff; }

// Chunk codes are printable characters (letters, digits, spaces).
bool PlausibleId(const unsigned char* p) {
  for (int i = 0; i < 4; ++i)
    if (p[i] < 0x20 || p[i] > 0x7e) return false;
  return true;
}

bool ReadExact(CRefObj* obj, int64_t pos, void* buf, int64_t len) {
  return obj->Seek(pos, kSeekBegin) && obj->Read(buf, len) == len;
}

}  // namespace

CRIFF::CRIFF() = default;

CRIFF::~CRIFF() { CRIFF::Close(); }

void CRIFF::Reset() {
  mode_ = Mode::kNone;
  obj_ = nullptr;
  base_ = 0;
  levels_.clear();
  current_ = Chunk();
  writePos_ = 0;
  streamOpen_ = false;
  streamHeader_ = 0;
  streamCount_ = 0;
}

int CRIFF::Close() {
  int ok = 1;
  if (mode_ == Mode::kWriting) {
    if (streamOpen_ && !EndWriteStream()) ok = 0;
    while (levels_.size() > 1)
      if (!Ascend()) ok = 0;  // pops the list even when its length failed
    if (!PatchLength(base_, writePos_ - (base_ + 8))) ok = 0;
    // Leave the object behind the file, where a caller would go on writing.
    obj_->Seek(writePos_, kSeekBegin);
  }
  Reset();
  return ok;
}

// --- reading ---

int CRIFF::Open(CRefObj* obj, _chunkInfo* info) {
  Close();
  if (obj == nullptr) {
    SetLastError(EINVAL);
    return 0;
  }
  int64_t base = obj->Tell();
  int64_t size = obj->Size();
  unsigned char h[12];
  if (base < 0 || size < 0 || !ReadExact(obj, base, h, 12) || LoadLE32(h) != kFourCCRiff) {
    obj->Seek(std::max<int64_t>(base, 0), kSeekBegin);
    SetLastError(EINVAL);
    return 0;
  }
  uint32_t length = LoadLE32(h + 4);
  // A length that cannot even hold the form type, or that reaches past the
  // object (a file cut short, or one written by a stream that never went back
  // to fill it in), is read up to the object's end.
  int64_t end = base + 8 + static_cast<int64_t>(length);
  if (length < 4 || end > size) end = size;
  mode_ = Mode::kReading;
  obj_ = obj;
  base_ = base;
  Chunk form;
  form.header = base;
  form.id = kFourCCRiff;
  form.size = length;
  form.type = LoadLE32(h + 8);
  form.dataOffset = base + 8;
  form.dataSize = end - (base + 8);
  levels_.push_back(Level{base + 12, end, form});
  if (info != nullptr) *info = _chunkInfo{kFourCCRiff, length, form.type};
  SeekToLevelBeginning();
  return 1;
}

bool CRIFF::LoadChunk(int64_t at, const Level& level, Chunk* out) {
  if (at < level.start || at + 8 > level.end) return false;
  unsigned char h[12];
  if (!ReadExact(obj_, at, h, 8)) return false;
  Chunk c;
  c.header = at;
  c.id = LoadLE32(h);
  c.size = LoadLE32(h + 4);
  c.dataOffset = at + 8;
  c.dataSize = std::min<int64_t>(c.size, level.end - c.dataOffset);
  if (IsContainer(c.id) && c.dataSize >= 4 && ReadExact(obj_, c.dataOffset, h + 8, 4))
    c.type = LoadLE32(h + 8);
  *out = c;
  return true;
}

int64_t CRIFF::NextChunkOffset(const Chunk& c, const Level& level) {
  int64_t next = c.dataOffset + static_cast<int64_t>(c.size);
  if ((c.size & 1) == 0) return next;
  // Odd chunks are followed by a pad byte. Some writers leave it out: when no
  // chunk code follows the pad byte but one follows the data directly, the
  // chunk was not padded.
  if (next + 1 + 4 <= level.end) {
    unsigned char a[5];
    if (ReadExact(obj_, next, a, 5) && !PlausibleId(a + 1) && PlausibleId(a)) return next;
  }
  return next + 1;
}

bool CRIFF::Position(const Chunk& c) {
  return obj_->Seek(c.dataOffset + c.position, kSeekBegin) != 0;
}

int CRIFF::SeekToChunk(uint32_t id, int fromLevelStart, uint32_t listType) {
  if (mode_ != Mode::kReading || levels_.empty()) return 0;
  const Level& level = levels_.back();
  int64_t at = fromLevelStart ? level.start : current_.header;
  if (at < 0) return 0;
  Chunk c;
  while (LoadChunk(at, level, &c)) {
    if (c.id == id && (listType == 0 || c.type == listType)) {
      current_ = c;
      Position(current_);
      return 1;
    }
    at = NextChunkOffset(c, level);
  }
  if (current_.header >= 0) Position(current_);
  return 0;
}

int CRIFF::SeekToNextChunk() {
  if (mode_ != Mode::kReading || levels_.empty() || current_.header < 0) return 0;
  const Level& level = levels_.back();
  Chunk c;
  if (!LoadChunk(NextChunkOffset(current_, level), level, &c)) {
    current_ = Chunk();
    return 0;
  }
  current_ = c;
  Position(current_);
  return 1;
}

int CRIFF::SeekToLevelBeginning() {
  if (mode_ != Mode::kReading || levels_.empty()) return 0;
  Chunk c;
  if (!LoadChunk(levels_.back().start, levels_.back(), &c)) {
    current_ = Chunk();
    return 0;
  }
  current_ = c;
  Position(current_);
  return 1;
}

int CRIFF::Descend() {
  if (mode_ != Mode::kReading || current_.header < 0 || !IsContainer(current_.id) ||
      current_.dataSize < 4)
    return 0;
  levels_.push_back(
      Level{current_.dataOffset + 4, current_.dataOffset + current_.dataSize, current_});
  SeekToLevelBeginning();
  return 1;
}

int CRIFF::Ascend() {
  if (mode_ == Mode::kWriting) {
    if (levels_.size() < 2) return 0;
    int ok = 1;
    if (streamOpen_ && !EndWriteStream()) ok = 0;
    int64_t header = levels_.back().start;
    levels_.pop_back();
    if (!PatchLength(header, writePos_ - (header + 8))) ok = 0;
    return ok;
  }
  if (mode_ != Mode::kReading || levels_.size() < 2) return 0;
  current_ = levels_.back().parent;
  current_.position = 0;
  levels_.pop_back();
  Position(current_);
  return 1;
}

int CRIFF::GetCurrentChunkInfo(_chunkInfo* info, _subChunk* sub) {
  if (mode_ != Mode::kReading || current_.header < 0) return 0;
  if (info != nullptr) *info = _chunkInfo{current_.id, current_.size, current_.type};
  if (sub != nullptr) *sub = _subChunk{current_.dataOffset, current_.dataSize, current_.position};
  return 1;
}

int64_t CRIFF::ReadCurrentSubChunk(void* buf, int64_t max) {
  if (mode_ != Mode::kReading || current_.header < 0) return 0;
  current_.position = 0;
  return Read(buf, max);
}

int64_t CRIFF::Read(void* buf, int64_t len) {
  if (mode_ != Mode::kReading || current_.header < 0 || buf == nullptr || len <= 0) return 0;
  len = std::min(len, current_.dataSize - current_.position);
  if (len <= 0 || !Position(current_)) return 0;
  int64_t got = obj_->Read(buf, len);
  if (got > 0) current_.position += got;
  return std::max<int64_t>(got, 0);
}

int64_t CRIFF::Skip(int64_t len) {
  if (mode_ != Mode::kReading || current_.header < 0 || len <= 0) return 0;
  len = std::min(len, current_.dataSize - current_.position);
  current_.position += len;
  Position(current_);
  return len;
}

// --- writing ---

bool CRIFF::WriteAt(int64_t pos, const void* data, int64_t len) {
  return obj_->Seek(pos, kSeekBegin) && obj_->Write(data, len) == len;
}

bool CRIFF::PatchLength(int64_t header, int64_t length) {
  unsigned char b[4];
  StoreLE32(b, static_cast<uint32_t>(std::clamp<int64_t>(length, 0, kMaxRiffLength)));
  bool ok = WriteAt(header + 4, b, 4);
  obj_->Seek(writePos_, kSeekBegin);
  return ok;
}

int64_t CRIFF::RoomLeft() const { return base_ + 8 + kMaxRiffLength - writePos_; }

int CRIFF::Create(CRefObj* obj, uint32_t formType) {
  Close();
  int64_t base = obj != nullptr ? obj->Tell() : -1;
  if (base < 0) {
    SetLastError(EINVAL);
    return 0;
  }
  unsigned char h[12];
  StoreLE32(h, kFourCCRiff);
  StoreLE32(h + 4, 4);
  StoreLE32(h + 8, formType);
  obj_ = obj;
  if (!WriteAt(base, h, 12)) {
    Reset();
    return 0;
  }
  mode_ = Mode::kWriting;
  base_ = base;
  writePos_ = base + 12;
  levels_.push_back(Level{base, 0, Chunk()});
  return 1;
}

int CRIFF::WriteSubChunk(uint32_t id, const void* data, int64_t len) {
  if (mode_ != Mode::kWriting || len < 0 || (len > 0 && data == nullptr)) return 0;
  if (streamOpen_ && !EndWriteStream()) return 0;
  int64_t padded = len + (len & 1);
  if (8 + padded > RoomLeft()) {
    SetLastError(EFBIG);
    return 0;
  }
  unsigned char h[8];
  StoreLE32(h, id);
  StoreLE32(h + 4, static_cast<uint32_t>(len));
  if (!WriteAt(writePos_, h, 8)) return 0;
  writePos_ += 8;
  if (len > 0) {
    if (obj_->Write(data, len) != len) return 0;
    writePos_ += len;
  }
  if (len & 1) {
    const unsigned char pad = 0;
    if (obj_->Write(&pad, 1) != 1) return 0;
    writePos_ += 1;
  }
  return 1;
}

int CRIFF::StartWriteStream(uint32_t id) {
  if (mode_ != Mode::kWriting) return 0;
  if (streamOpen_ && !EndWriteStream()) return 0;
  if (RoomLeft() < 8) {
    SetLastError(EFBIG);
    return 0;
  }
  unsigned char h[8];
  StoreLE32(h, id);
  StoreLE32(h + 4, 0);
  if (!WriteAt(writePos_, h, 8)) return 0;
  streamHeader_ = writePos_;
  writePos_ += 8;
  streamOpen_ = true;
  streamCount_ = 0;
  return 1;
}

int64_t CRIFF::WriteStreamData(const void* data, int64_t len) {
  if (mode_ != Mode::kWriting || !streamOpen_ || data == nullptr || len <= 0) return 0;
  // Keep room for the pad byte that an odd total will need.
  int64_t room = RoomLeft() - 1;
  if (len > room) {
    SetLastError(EFBIG);
    len = std::max<int64_t>(room, 0);
    if (len == 0) return 0;
  }
  if (!obj_->Seek(writePos_, kSeekBegin)) return 0;
  int64_t put = std::max<int64_t>(obj_->Write(data, len), 0);
  writePos_ += put;
  streamCount_ += put;
  return put;
}

int CRIFF::EndWriteStream() {
  if (mode_ != Mode::kWriting || !streamOpen_) return 0;
  streamOpen_ = false;
  int ok = 1;
  if (streamCount_ & 1) {
    const unsigned char pad = 0;
    if (WriteAt(writePos_, &pad, 1))
      writePos_ += 1;
    else
      ok = 0;
  }
  if (!PatchLength(streamHeader_, streamCount_)) ok = 0;
  return ok;
}

int CRIFF::WriteListChunkHeader(uint32_t type) {
  if (mode_ != Mode::kWriting) return 0;
  if (streamOpen_ && !EndWriteStream()) return 0;
  if (RoomLeft() < 12) {
    SetLastError(EFBIG);
    return 0;
  }
  unsigned char h[12];
  StoreLE32(h, kFourCCList);
  StoreLE32(h + 4, 4);
  StoreLE32(h + 8, type);
  if (!WriteAt(writePos_, h, 12)) return 0;
  levels_.push_back(Level{writePos_, 0, Chunk()});
  writePos_ += 12;
  return 1;
}
