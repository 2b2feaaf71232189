// Points for seeking in compressed data: each pairs a decoded byte offset with
// the source byte offset (from the data start) whose decoding begins there.
// Shared by the loader, sounds and their buffers through a reference count;
// the last Release deletes it.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class CSeekMap {
 public:
  struct Point {
    uint64_t decoded;
    uint64_t source;
  };

  CSeekMap() = default;  // one reference, the creator's
  CSeekMap(const CSeekMap&) = delete;
  CSeekMap& operator=(const CSeekMap&) = delete;

  void AddReference() { ++references_; }
  // Drops one reference (deleting the map with the last) and nulls the pointer.
  static void Release(CSeekMap*& map);
  int References() const { return references_; }

  // Keeps the points sorted by decoded offset; 0 when memory runs out.
  int Add(uint64_t decoded, uint64_t source);
  int Count() const { return static_cast<int>(points_.size()); }
  Point At(int index) const { return points_[static_cast<size_t>(index)]; }
  // The last point at or before `decoded`; 0 when there is none.
  int Find(uint64_t decoded, Point* point) const;

  // What a saved map was made from; it is read back only for the same.
  struct Stamp {
    uint64_t sourceSize = 0;
    uint64_t dataStart = 0;
    uint64_t dataEnd = 0;
  };
  // Writes the map to `path` (replacing it); 0 on failure, when no file is
  // left behind.
  int SaveToFile(const std::string& path, const Stamp& stamp) const;
  // A map read from `path`, with one reference for the caller; null when
  // the file is missing, of another version, made for another stamp, cut
  // short or holding points that cannot belong to the data.
  static CSeekMap* LoadFromFile(const std::string& path, const Stamp& stamp);

 private:
  ~CSeekMap() = default;

  std::atomic<int> references_{1};
  std::vector<Point> points_;
};
