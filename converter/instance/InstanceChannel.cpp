#include "converter/instance/InstanceChannel.h"

#include <cerrno>
#include <cstring>
#include <string_view>

#include "platform/LastError.h"
#include "platform/Log.h"
#include "platform/ipc/LockFile.h"
#include "platform/ipc/ProcessInfo.h"
#include "platform/ipc/RuntimeFolder.h"
#include "utilities/strings/Utf8.h"

namespace {

bool ValidTargetType(uint32_t type) { return type <= 2; }

// Why an entry can never be taken, or null when it can.
const char* EntryFault(const HandOffEntry& entry) {
  if (!ValidTargetType(entry.targetType)) return "an unknown target type";
  if (entry.path[0] == '\0') return "an empty name";
  if (!IsValidUtf8(std::string_view(entry.path, strnlen(entry.path, sizeof entry.path))))
    return "a name that is not UTF-8";
  return nullptr;
}

}  // namespace

CInstanceChannel::CInstanceChannel() = default;

CInstanceChannel::~CInstanceChannel() { Close(); }

int CInstanceChannel::Open() {
  Close();
  folder_ = GetRuntimeFolder();
  if (folder_.empty()) return 0;
  lock_ = std::make_unique<CLockFile>(folder_ + "/" + kLockFileName);
  if (!Lock()) {
    Log("instance channel: lock not available at start-up");
    return 0;
  }
  // Deciding under the lock keeps a poster that checks for a first instance
  // from slipping between our claim and the clearing of the header.
  first_ = primary_.TryAcquire(folder_ + "/" + kPrimaryFileName);
  if (!block_.Open(folder_ + "/" + kBlockFileName, sizeof(SharedSpace), first_)) {
    primary_.Release();
    first_ = 0;
    Unlock();
    return 0;
  }
  if (first_) {
    SharedSpace* space = Space();
    space->entryCount = 0;
    space->takenCount = 0;
    space->optionsOpen = 0;
    space->optionsHolderPid = 0;
    space->reservedFlag = 0;
  }
  ready_ = 1;
  Unlock();
  LogFmt("instance channel open in %s, %s", folder_.c_str(),
         first_ ? "first instance" : "later instance");
  return 1;
}

void CInstanceChannel::Close() {
  if (primary_.IsHeld()) {
    // Under the lock, so that a poster sees either the claim or its absence.
    int locked = lock_ ? Lock() : 0;
    primary_.Release();
    if (locked) Unlock();
  }
  first_ = 0;
  ready_ = 0;
  block_.Close();
  lock_.reset();
}

int CInstanceChannel::Lock() {
  if (!ready_ && !lock_) return 0;
  if (!lock_->Lock(kInstanceLockWaitMs)) return 0;
  if (block_.IsOpen() && !block_.SizeIntact()) {
    // A block cut short would fault on access.
    Log("instance channel: shared block changed size; refused");
    lock_->Unlock();
    SetLastError(EINVAL);
    return 0;
  }
  return 1;
}

void CInstanceChannel::Unlock() { lock_->Unlock(); }

int CInstanceChannel::IsLockHeld() const { return lock_ ? lock_->IsHeld() : 0; }

SharedSpace* CInstanceChannel::Space() const {
  return reinterpret_cast<SharedSpace*>(block_.Data());
}

uint32_t CInstanceChannel::ClampedCount(const SharedSpace* space) const {
  uint32_t count = space->entryCount;
  if (count > kHandOffEntryCount) {
    LogFmt("instance channel: entry count %u out of range, read as %u", count, kHandOffEntryCount);
    count = kHandOffEntryCount;
  }
  return count;
}

void CInstanceChannel::CheckFirstInstanceLocked(SharedSpace* space) {
  if (first_) return;
  if (!primary_.TryAcquire(folder_ + "/" + kPrimaryFileName))
    return;  // a first instance is alive and will fetch the entry
  uint32_t count = ClampedCount(space);
  uint32_t taken = space->takenCount;
  firstIndex_ = taken < count ? taken : count;
  tookOver_ = 1;
  first_ = 1;
  LogFmt("instance channel: no first instance left; taking over from entry %u of %u",
         firstIndex_.load(), count);
}

int CInstanceChannel::Post(const HandOffEntry& entry) {
  if (!ready_ || !Lock()) return 0;
  SharedSpace* space = Space();
  uint32_t count = ClampedCount(space);
  int posted = 0;
  if (count < kHandOffEntryCount) {
    HandOffEntry& slot = space->entries[count];
    std::memcpy(&slot, &entry, sizeof(slot));
    slot.path[kHandOffPathBytes - 1] = '\0';
    space->entryCount = count + 1;
    posted = 1;
  } else {
    LogFmt("instance channel: %u entries already; dropped %.*s", count,
           static_cast<int>(kHandOffPathBytes - 1), entry.path);
    SetLastError(ENOSPC);
  }
  CheckFirstInstanceLocked(space);
  Unlock();
  return posted;
}

int CInstanceChannel::Post(const std::string& path, uint32_t targetType) {
  if (path.size() >= kHandOffPathBytes || path.find('\0') != std::string::npos) {
    LogFmt("instance channel: path of %zu bytes does not fit a hand-off entry", path.size());
    SetLastError(ENAMETOOLONG);
    return 0;
  }
  HandOffEntry entry{};
  std::memcpy(entry.path, path.data(), path.size());
  entry.targetType = targetType;
  if (const char* fault = EntryFault(entry)) {
    LogFmt("instance channel: an entry with %s is not posted", fault);
    SetLastError(kErrBadHandOffEntry);
    return 0;
  }
  return Post(entry);
}

uint32_t CInstanceChannel::Count() {
  if (!ready_ || !Lock()) return 0;
  uint32_t count = ClampedCount(Space());
  Unlock();
  return count;
}

int CInstanceChannel::Get(uint32_t index, HandOffEntry& out) {
  SetLastError(0);
  if (!ready_ || !Lock()) return 0;
  SharedSpace* space = Space();
  uint32_t count = ClampedCount(space);
  if (index >= count) {
    Unlock();
    return 0;
  }
  std::memcpy(&out, &space->entries[index], sizeof(out));
  // Record how far the first instance got, for a take-over should it die.
  if (first_ && space->takenCount < index + 1) space->takenCount = index + 1;
  Unlock();
  out.path[kHandOffPathBytes - 1] = '\0';
  if (const char* fault = EntryFault(out)) {
    LogFmt("instance channel: entry %u has %s (target type %u); passed over", index, fault,
           out.targetType);
    SetLastError(kErrBadHandOffEntry);
    return 0;
  }
  return 1;
}

int CInstanceChannel::GetOptionsOpen() {
  if (!ready_ || !Lock()) return 0;
  int open = Space()->optionsOpen != 0 ? 1 : 0;
  Unlock();
  return open;
}

int CInstanceChannel::SetOptionsOpen(int open) {
  if (!ready_ || !Lock()) return 0;
  SharedSpace* space = Space();
  space->optionsOpen = open ? 1 : 0;
  space->optionsHolderPid = open ? CurrentProcessId() : 0;
  Unlock();
  return 1;
}

int CInstanceChannel::ShowOptionsOnce(const std::function<void()>& show) {
  if (!ready_ || !Lock()) return 0;
  SharedSpace* space = Space();
  if (space->optionsOpen != 0 && IsProcessAlive(space->optionsHolderPid)) {
    Unlock();
    return 0;  // another instance shows the sheet
  }
  if (space->optionsOpen != 0)
    LogFmt("instance channel: options flag of process %d that is gone; cleared",
           static_cast<int>(space->optionsHolderPid));
  const int32_t self = CurrentProcessId();
  space->optionsOpen = 1;
  space->optionsHolderPid = self;
  Unlock();

  show();

  // Should this lock fail, the flag names a process that is about to end, and
  // the next caller treats it as stale.
  if (Lock()) {
    if (space->optionsHolderPid == self) {
      space->optionsOpen = 0;
      space->optionsHolderPid = 0;
    }
    Unlock();
  }
  return 1;
}

int CInstanceChannel::ReopenMutex() { return lock_ ? lock_->CanOpen() : 0; }

int CInstanceChannel::RetireIfDrained(uint32_t consumed) {
  if (!ready_ || !Lock()) return 0;
  if (ClampedCount(Space()) > consumed) {
    Unlock();
    return 0;
  }
  primary_.Release();
  first_ = 0;
  Unlock();
  return 1;
}
