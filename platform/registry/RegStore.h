// The file behind one registry root, shared by every key of the process.
//
// The store is "$XDG_CONFIG_HOME/quillon/<root name>.reg" (default
// ~/.config/quillon/). Readers see the file as it is now: it is read again
// whenever its identity (inode, size, modification time) differs from the
// copy held. A change takes an exclusive flock on "<store>.lock", re-reads
// the file, applies the change, writes "<store>.tmp", fsyncs it, renames it
// over the store and fsyncs the folder, so processes never lose each other's
// values and a crash leaves the old file or the new one, never half a file.
//
// A store that can't be read or parsed is logged and read as empty. Before
// the first change over a corrupt store the file is kept beside it as
// "<store>.corrupt-<UTC time>"; a store that can't be read is not replaced.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "platform/registry/RegRoots.h"
#include "platform/registry/RegTree.h"

class CRegStore {
 public:
  // The store of the root under the current config folder, made on first
  // use; null (reason in the last error) when no config folder can be named.
  static CRegStore* Get(TRegRoot root);

  // Calls read with the current contents and returns its result.
  template <typename Read>
  auto Inspect(Read read) {
    std::lock_guard<std::recursive_mutex> hold(mutex_);
    Refresh();
    return read(static_cast<const CRegTree&>(tree_));
  }

  // Applies change to the current contents under the store lock and writes
  // the result. change returns false, with the reason in the last error, to
  // give up; then nothing is written. Returns 1 or 0.
  int Change(const std::function<bool(CRegTree&)>& change);

  // A batch holds the store lock, and this store for the calling thread,
  // from BeginBatch to EndBatch; the thread's changes meanwhile are written
  // once, by EndBatch. Batches nest. Both return 1 or 0; a batch that can't
  // be written leaves the store as it was.
  int BeginBatch();
  int EndBatch();

  const std::string& FilePath() const { return file_; }

  CRegStore(const CRegStore&) = delete;
  CRegStore& operator=(const CRegStore&) = delete;

 private:
  CRegStore(TRegRoot root, std::string dir);
  ~CRegStore() = delete;  // stores live until the process ends

  enum class TState { kMissing, kGood, kCorrupt, kUnreadable };
  struct TIdentity {
    dev_t dev = 0;
    ino_t ino = 0;
    int64_t size = -1;
    int64_t mtimeNs = 0;
    bool operator==(const TIdentity&) const = default;
  };

  void Refresh();
  // Drops the copy held, and the descriptor with it.
  void Forget();
  void SetEmpty(TState state);
  bool MakeFolder();
  bool KeepCorruptCopy();
  bool WriteTree(const CRegTree& tree);
  // Takes the store lock and re-reads the file; the lock's descriptor or -1.
  int LockForChange();
  // Writes next when it differs from what was read.
  bool Store(const CRegTree& next);

  std::recursive_mutex mutex_;  // held by a batch from its start to its end
  TRegRoot root_;
  std::string dir_, file_;
  CRegTree tree_;
  TState state_ = TState::kMissing;
  TIdentity identity_;
  // The file last read, kept open so that its inode number can't be given to
  // a newer file while we compare against it.
  int heldFd_ = -1;
  int batchDepth_ = 0;
  int batchLockFd_ = -1;
  CRegTree batchStart_;  // the contents when the batch began
};
