#include "engine/media/SeekMap.h"

#include <algorithm>
#include <new>

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
