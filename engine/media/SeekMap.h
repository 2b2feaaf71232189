// Points for seeking in compressed data: each pairs a decoded byte offset with
// the source byte offset (from the data start) whose decoding begins there.
// Shared by the loader, sounds and their buffers through a reference count;
// the last Release deletes it.
#pragma once

#include <atomic>
#include <cstdint>
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

 private:
  ~CSeekMap() = default;

  std::atomic<int> references_{1};
  std::vector<Point> points_;
};
