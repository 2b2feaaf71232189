// An exclusive lock between processes and threads, kept on a lock file.
// The kernel drops a flock when its holder dies, so a crashed holder never
// blocks the next one. A flock belongs to an open file description, so each
// holding takes its own descriptor, and an in-process mutex orders the
// threads of one process before they reach the file.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

class CLockFile {
 public:
  explicit CLockFile(std::string path);
  ~CLockFile();
  CLockFile(const CLockFile&) = delete;
  CLockFile& operator=(const CLockFile&) = delete;

  // Waits at most timeoutMs (0: a single try) for the lock; 1 when it is held,
  // 0 on time-out or failure with the reason in the thread's last error.
  // Not recursive: the holder must Unlock before locking again.
  int Lock(int timeoutMs);
  void Unlock();
  // Nonzero between a successful Lock and its Unlock.
  int IsHeld() const { return held_.load() ? 1 : 0; }
  // Nonzero when the lock file can be opened (created when missing).
  int CanOpen() const;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::timed_mutex inProcess_;
  int fd_ = -1;
  std::atomic<bool> held_{false};
};
