// The reference count of the objects the library hands out: an object lives
// until its last Release, which deletes it.
#pragma once

#include <atomic>
#include <cstdint>

namespace wmaglue {

class CRefCount {
 public:
  uint32_t Add() { return ++count_; }
  // The count left; 0 means the caller deletes the object.
  uint32_t Drop() { return --count_; }
  uint32_t Value() const { return count_; }

 private:
  std::atomic<uint32_t> count_{1};
};

}  // namespace wmaglue
