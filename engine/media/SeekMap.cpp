#include "engine/media/SeekMap.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "platform/data/ByteOrder.h"
#include "platform/data/FileObj.h"
#include "platform/os/FileOps.h"

void CSeekMap::Release(CSeekMap*& map) {
  CSeekMap* m = map;
  map = nullptr;
  if (m && --m->references_ == 0) delete m;
}

int CSeekMap::Add(uint64_t decoded, uint64_t source) {
  auto at = std::upper_bound(points_.begin(), points_.end(), decoded,
                             [](uint64_t d, const Point& p) { return d < p.decoded; });
  try {
    points_.insert(at, Point{decoded, source});
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int CSeekMap::Find(uint64_t decoded, Point* point) const {
  auto at = std::upper_bound(points_.begin(), points_.end(), decoded,
                             [](uint64_t d, const Point& p) { return d < p.decoded; });
  if (at == points_.begin()) return 0;
  *point = *(at - 1);
  return 1;
}

namespace {

// The cache file: "TSKM", a version, the stamp, the point count, then the
// points; every number little-endian, 8 bytes but the version's 4.
constexpr char kMagic[4] = {'T', 'S', 'K', 'M'};
constexpr uint32_t kVersion = 1;
constexpr int64_t kHeaderBytes = 40;
constexpr int64_t kPointBytes = 16;

}  // namespace

int CSeekMap::SaveToFile(const std::string& path, const Stamp& stamp) const {
  std::vector<uint8_t> bytes;
  try {
    bytes.resize(static_cast<size_t>(kHeaderBytes + kPointBytes * Count()));
  } catch (const std::bad_alloc&) {
    return 0;
  }
  uint8_t* p = bytes.data();
  std::memcpy(p, kMagic, 4);
  StoreLE32(p + 4, kVersion);
  StoreLE64(p + 8, stamp.sourceSize);
  StoreLE64(p + 16, stamp.dataStart);
  StoreLE64(p + 24, stamp.dataEnd);
  StoreLE64(p + 32, points_.size());
  p += kHeaderBytes;
  for (const Point& point : points_) {
    StoreLE64(p, point.decoded);
    StoreLE64(p + 8, point.source);
    p += kPointBytes;
  }
  CFileObj file;
  const auto size = static_cast<int64_t>(bytes.size());
  const bool written = file.Create(path) && file.Write(bytes.data(), size) == size;
  const bool closed = file.Close() != 0;
  if (written && closed) return 1;
  os::RemoveFile(path);
  return 0;
}

CSeekMap* CSeekMap::LoadFromFile(const std::string& path, const Stamp& stamp) {
  CFileObj file;
  if (!file.Open(path, 0, 0)) return nullptr;
  const int64_t size = file.Size();
  uint8_t header[kHeaderBytes];
  if (size < kHeaderBytes || file.Read(header, kHeaderBytes) != kHeaderBytes) return nullptr;
  const uint64_t count = LoadLE64(header + 32);
  if (std::memcmp(header, kMagic, 4) != 0 || LoadLE32(header + 4) != kVersion ||
      LoadLE64(header + 8) != stamp.sourceSize || LoadLE64(header + 16) != stamp.dataStart ||
      LoadLE64(header + 24) != stamp.dataEnd ||
      count != static_cast<uint64_t>(size - kHeaderBytes) / kPointBytes ||
      (size - kHeaderBytes) % kPointBytes != 0)
    return nullptr;
  std::vector<uint8_t> bytes;
  struct TRelease {
    void operator()(CSeekMap* m) const { CSeekMap::Release(m); }
  };
  std::unique_ptr<CSeekMap, TRelease> map(new (std::nothrow) CSeekMap);
  try {
    bytes.resize(static_cast<size_t>(size - kHeaderBytes));
    if (map) map->points_.reserve(static_cast<size_t>(count));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (!map || file.Read(bytes.data(), size - kHeaderBytes) != size - kHeaderBytes) return nullptr;
  const uint64_t dataBytes = stamp.dataEnd > stamp.dataStart ? stamp.dataEnd - stamp.dataStart : 0;
  Point last{0, 0};
  for (uint64_t i = 0; i < count; ++i) {
    const Point point{LoadLE64(&bytes[i * kPointBytes]), LoadLE64(&bytes[i * kPointBytes + 8])};
    // Points run forward through the data, both offsets together.
    if (point.source >= dataBytes || point.decoded < last.decoded || point.source < last.source)
      return nullptr;
    map->points_.push_back(point);
    last = point;
  }
  return map.release();  // the caller's reference
}
