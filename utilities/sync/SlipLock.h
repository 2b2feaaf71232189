// A lock that its owning thread may take again, with a blocking form, a try
// and a form that gives up after a time-out in milliseconds. Every Lock that
// succeeded is matched by one Unlock of the same thread; an Unlock by a
// thread that does not hold the lock is refused and changes nothing.
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

class CSlipLock {
 public:
  // The time-out that waits without limit.
  static constexpr unsigned long kInfinite = 0xFFFFFFFFul;

  CSlipLock() = default;
  ~CSlipLock() = default;
  CSlipLock(const CSlipLock&) = delete;
  CSlipLock& operator=(const CSlipLock&) = delete;

  // True when the calling thread now holds the lock (once more).
  bool LockWithTimeout(unsigned long ms);
  void Lock() { LockWithTimeout(kInfinite); }
  // A try without waiting.
  bool RequestLock() { return LockWithTimeout(0); }
  // Gives up one level; false (ERROR_NOT_OWNER in the last error) when the
  // calling thread does not hold the lock.
  bool Unlock();

 private:
  std::recursive_timed_mutex mutex_;
  // Written only by the holder of mutex_; read by any thread to tell whether
  // it is the owner.
  std::atomic<std::thread::id> owner_{};
  unsigned long depth_ = 0;
};
