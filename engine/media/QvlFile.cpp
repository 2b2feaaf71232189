#include "engine/media/QvlFile.h"

#include <cstdint>

#include "platform/data/ByteOrder.h"
#include "platform/riff/FourCC.h"
#include "platform/riff/RIFF.h"

namespace {

constexpr uint32_t kFormCompilation = FourCC("cdss");
constexpr uint32_t kChunkHeader = FourCC("cdhd");
constexpr uint32_t kChunkTracks = FourCC("cdtr");
constexpr TQVLVersion kWrittenVersion = 5;

// Bytes of one record in each version's layout.
int64_t RecordBytes(TQVLVersion version) {
  if (version == 5) return TONALIS_CMusicInfo::kRecordBytes;
  if (version == 4) return TONALIS_CMusicInfo::kRecordBytes + 4;
  if (version == 3) return 9016;
  return 6136;
}

}  // namespace

TQvlReadResult ReadQvlRecords(CRefObj* obj, TTrackRecords* records) {
  CRIFF riff;
  if (!riff.Open(obj)) return TQvlReadResult::kNotRiff;
  if (!riff.SeekToChunk(kChunkHeader, 1)) return TQvlReadResult::kRead;
  _subChunk sub;
  riff.GetCurrentChunkInfo(nullptr, &sub);
  uint8_t header[8];
  if (sub.dataSize != 8 || riff.ReadCurrentSubChunk(header, 8) != 8)
    return TQvlReadResult::kBadHeader;
  auto version = static_cast<TQVLVersion>(LoadLE32(header));
  int64_t count = static_cast<int32_t>(LoadLE32(header + 4));
  if (version > 5) return TQvlReadResult::kBadHeader;
  if (!riff.SeekToChunk(kChunkTracks, 1)) return TQvlReadResult::kRead;
  riff.GetCurrentChunkInfo(nullptr, &sub);
  const int64_t size = RecordBytes(version);
  if (count > sub.dataSize / size) count = sub.dataSize / size;
  for (int64_t i = 0; i < count; ++i) {
    auto record = std::make_unique<TONALIS_CMusicInfo>();
    int64_t before = sub.position;
    if (!record->Read(riff, version)) continue;
    riff.GetCurrentChunkInfo(nullptr, &sub);
    if (sub.position - before != size) break;
    records->push_back(std::move(record));
  }
  return TQvlReadResult::kRead;
}

bool WriteQvlRecords(CRefObj* obj, const TTrackRecords& records) {
  CRIFF riff;
  if (!riff.Create(obj, kFormCompilation)) return false;
  uint8_t header[8];
  StoreLE32(header, static_cast<uint32_t>(kWrittenVersion));
  StoreLE32(header + 4, static_cast<uint32_t>(records.size()));
  bool ok = riff.WriteSubChunk(kChunkHeader, header, 8) && riff.StartWriteStream(kChunkTracks);
  for (size_t i = 0; ok && i < records.size(); ++i) {
    int64_t before = riff.CurrentStreamDataCount();
    ok = records[i]->Write(riff, kWrittenVersion) &&
         riff.CurrentStreamDataCount() - before == TONALIS_CMusicInfo::kRecordBytes;
  }
  ok = ok && riff.EndWriteStream();
  return riff.Close() && ok;
}
