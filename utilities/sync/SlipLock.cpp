#include "utilities/sync/SlipLock.h"

#include <chrono>
#include <cstdint>
#include <system_error>

#include "platform/LastError.h"

namespace {

constexpr uint32_t kErrorNotOwner = 288;  // ERROR_NOT_OWNER
constexpr uint32_t kErrorTimeout = 1460;  // ERROR_TIMEOUT

}  // namespace

bool CSlipLock::LockWithTimeout(unsigned long ms) {
  const std::thread::id self = std::this_thread::get_id();
  bool taken;
  if (owner_.load() == self) {
    // Re-entry never waits; it fails only past the mutex's nesting limit.
    taken = mutex_.try_lock();
  } else if (ms == kInfinite) {
    try {
      mutex_.lock();
      taken = true;
    } catch (const std::system_error&) {
      taken = false;
    }
  } else {
    taken = mutex_.try_lock_for(std::chrono::milliseconds(ms));
  }
  if (!taken) {
    SetLastError(kErrorTimeout);
    return false;
  }
  if (depth_++ == 0) owner_.store(self);
  return true;
}

bool CSlipLock::Unlock() {
  if (owner_.load() != std::this_thread::get_id()) {
    SetLastError(kErrorNotOwner);
    return false;
  }
  if (--depth_ == 0) owner_.store(std::thread::id());
  mutex_.unlock();
  return true;
}
