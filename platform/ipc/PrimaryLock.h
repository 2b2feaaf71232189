// The lock that marks the first instance: taken without waiting and then held
// until Release or the end of the process. Whoever can take it is the only
// holder; the kernel frees it when the holder dies.
#pragma once

#include <string>

class CPrimaryLock {
 public:
  CPrimaryLock() = default;
  ~CPrimaryLock();
  CPrimaryLock(const CPrimaryLock&) = delete;
  CPrimaryLock& operator=(const CPrimaryLock&) = delete;

  // One try at the lock on `path`; 1 when this object now holds it (also when
  // it already did), 0 when another holder has it or on failure.
  int TryAcquire(const std::string& path);
  void Release();
  int IsHeld() const { return fd_ >= 0 ? 1 : 0; }

 private:
  int fd_ = -1;
};
