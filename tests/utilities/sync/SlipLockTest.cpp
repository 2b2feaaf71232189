#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "platform/LastError.h"
#include "utilities/sync/SlipLock.h"

namespace {

bool TryFromOtherThread(CSlipLock& lock) {
  bool taken = false;
  std::thread other([&] {
    taken = lock.RequestLock();
    if (taken) lock.Unlock();
  });
  other.join();
  return taken;
}

}  // namespace

TEST(SlipLock, OwnerReentersAndReleasesOnlyAfterTheLastUnlock) {
  CSlipLock lock;
  lock.Lock();
  lock.Lock();
  EXPECT_TRUE(lock.RequestLock());
  EXPECT_TRUE(lock.LockWithTimeout(0));
  EXPECT_FALSE(TryFromOtherThread(lock));
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(lock.Unlock());
    EXPECT_FALSE(TryFromOtherThread(lock));
  }
  EXPECT_TRUE(lock.Unlock());
  EXPECT_TRUE(TryFromOtherThread(lock));
  EXPECT_FALSE(lock.Unlock());  // nothing held any more
}

TEST(SlipLock, TimesOutWhileAnotherThreadHoldsTheLock) {
  CSlipLock lock;
  std::atomic<bool> held{false}, done{false};
  std::thread holder([&] {
    lock.Lock();
    held = true;
    while (!done) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    lock.Unlock();
  });
  while (!held) std::this_thread::yield();
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(lock.LockWithTimeout(100));
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(90));
  EXPECT_LT(waited, std::chrono::seconds(5));
  EXPECT_FALSE(lock.RequestLock());
  done = true;
  holder.join();
  EXPECT_TRUE(lock.LockWithTimeout(100));
  lock.Unlock();
}

TEST(SlipLock, UnlockByAThreadThatDoesNotHoldItIsRefused) {
  CSlipLock lock;
  lock.Lock();
  bool released = true;
  uint32_t error = 0;
  std::thread other([&] {
    released = lock.Unlock();
    error = GetLastError();
  });
  other.join();
  EXPECT_FALSE(released);
  EXPECT_EQ(error, 288u);
  EXPECT_FALSE(TryFromOtherThread(lock));  // still held by this thread
  EXPECT_TRUE(lock.Unlock());
  EXPECT_TRUE(TryFromOtherThread(lock));
}

TEST(SlipLock, SeveralThreadsTakeTurns) {
  CSlipLock lock;
  int counter = 0;  // guarded by the lock alone
  std::atomic<int> inside{0}, overlaps{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        if (t % 2 == 0) {
          lock.Lock();
        } else {
          while (!lock.LockWithTimeout(10)) {
          }
        }
        lock.Lock();  // nested
        if (inside.fetch_add(1) != 0) ++overlaps;
        ++counter;
        inside.fetch_sub(1);
        lock.Unlock();
        lock.Unlock();
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, 8000);
  EXPECT_EQ(overlaps.load(), 0);
}
