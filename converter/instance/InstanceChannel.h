// The single-instance channel: the first process of the converter converts,
// and every later one posts its files into a block shared by all instances,
// from which the first one takes them. The block and two lock files live in
// the user's runtime folder:
//   SonoductMutex.lock    serialises every access to the block (waits of at most 2000 ms);
//   SonoductPrimary.lock  held by the first instance for as long as it converts;
//   SonoductSharedSpace   the block itself, 528048 bytes.
// Nothing read from the block is trusted: another process may have written
// anything into it.
#pragma once

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ipc/PrimaryLock.h"
#include "platform/ipc/SharedBlockFile.h"

class CLockFile;

constexpr uint32_t kHandOffEntryCount = 2000;
constexpr size_t kHandOffPathBytes = 260;
constexpr int kInstanceLockWaitMs = 2000;
// The last error of a Get that refused its entry for good (and logged it):
// the entry is passed over, where any other failure leaves it for later.
constexpr uint32_t kErrBadHandOffEntry = EBADMSG;

#pragma pack(push, 1)
// One posted file: a NUL-terminated full path and its target type
// (0 WAV, 1 MP3, 2 WMA).
struct HandOffEntry {
  char path[kHandOffPathBytes];
  uint32_t targetType;
};

// The shared block, little-endian. Fields marked "ours" use bytes that
// earlier layouts kept reserved; a block that leaves them zero still works.
struct SharedSpace {
  uint32_t entryCount;  // entries posted so far, 0 to 2000
  uint32_t takenCount;  // ours: entries the first instance has fetched
  uint8_t reserved8[8];
  uint32_t optionsOpen;      // nonzero while some instance shows the Options sheet
  int32_t optionsHolderPid;  // ours: the process that set optionsOpen
  uint8_t reserved24[8];
  uint32_t reservedFlag;  // set to 0 when the block is created
  uint8_t reserved36[12];
  HandOffEntry entries[kHandOffEntryCount];
};
#pragma pack(pop)

static_assert(sizeof(HandOffEntry) == 264);
static_assert(offsetof(HandOffEntry, targetType) == 260);
static_assert(offsetof(SharedSpace, entryCount) == 0);
static_assert(offsetof(SharedSpace, optionsOpen) == 16);
static_assert(offsetof(SharedSpace, optionsHolderPid) == 20);
static_assert(offsetof(SharedSpace, reservedFlag) == 32);
static_assert(offsetof(SharedSpace, entries) == 48);
static_assert(sizeof(SharedSpace) == 528048);
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the shared block is little-endian");

class CInstanceChannel {
 public:
  static constexpr const char* kLockFileName = "SonoductMutex.lock";
  static constexpr const char* kPrimaryFileName = "SonoductPrimary.lock";
  static constexpr const char* kBlockFileName = "SonoductSharedSpace";

  CInstanceChannel();
  ~CInstanceChannel();
  CInstanceChannel(const CInstanceChannel&) = delete;
  CInstanceChannel& operator=(const CInstanceChannel&) = delete;

  // Opens the channel in the runtime folder. The process that can take the
  // primary lock is the first instance; it sizes the block and clears its
  // header. Returns 1 when the block is ready.
  int Open();
  // Drops the first-instance claim and unmaps the block (at process exit).
  void Close();

  // Every operation below takes the lock first; when it can't be had within
  // 2000 ms it returns 0 (or a count of 0) and touches nothing.

  // Appends an entry unless 2000 are there already (last error ENOSPC; a
  // lock not had in time gives ETIMEDOUT); 1 when appended. A later
  // instance then checks that a first instance still holds the primary lock;
  // if none does, this process becomes the first instance and takes over the
  // entries not yet fetched (see FirstIndex).
  int Post(const HandOffEntry& entry);
  // Builds the entry from a path, which must fit the 260-byte field with its
  // terminator; a longer path is refused, never cut short, and so is one
  // that Get would refuse.
  int Post(const std::string& path, uint32_t targetType);
  // Number of entries posted (at most 2000).
  uint32_t Count();
  // Copies entry [index] out; the path always comes out NUL-terminated.
  // 0 when index >= Count or the lock can't be had; 0 with the last error
  // kErrBadHandOffEntry when the entry can never be taken (logged): its
  // target type is not 0, 1 or 2, or its path is empty or not UTF-8.
  int Get(uint32_t index, HandOffEntry& out);
  int GetOptionsOpen();
  int SetOptionsOpen(int open);
  // Shows the Options sheet through `show` unless another live process shows
  // it already; the test and the set happen in one lock section, and a flag
  // left by a process that died no longer counts. 1 when `show` was called.
  int ShowOptionsOnce(const std::function<void()>& show);
  // Each locker opens its own descriptor, so there is no handle to reopen;
  // kept for the worker thread's start. 1 when the lock file can be opened.
  int ReopenMutex();
  // For the first instance at the end of its run: when no entry beyond
  // `consumed` is waiting, gives up the first-instance claim under the lock
  // and returns 1, so that a later post makes its poster take over instead of
  // being lost. Returns 0 when more entries wait (or the lock can't be had).
  int RetireIfDrained(uint32_t consumed);

  int IsReady() const { return ready_; }
  int IsFirstInstance() const { return first_; }
  // 1 when this process became the first instance after a Post.
  int TookOver() const { return tookOver_; }
  // Index of the first entry this instance's consumer is to fetch: 0 for the
  // first instance, the first not yet fetched after a take-over.
  uint32_t FirstIndex() const { return firstIndex_; }
  int IsLockHeld() const;

 private:
  int Lock();
  void Unlock();
  SharedSpace* Space() const;
  uint32_t ClampedCount(const SharedSpace* space) const;
  void CheckFirstInstanceLocked(SharedSpace* space);

  std::string folder_;
  std::unique_ptr<CLockFile> lock_;
  CPrimaryLock primary_;
  CSharedBlockFile block_;
  // Read by the window and worker threads, changed by Open, Post and Close.
  std::atomic<int> ready_{0};
  std::atomic<int> first_{0};
  std::atomic<int> tookOver_{0};
  std::atomic<uint32_t> firstIndex_{0};
};
