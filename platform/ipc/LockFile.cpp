#include "platform/ipc/LockFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/LastError.h"
#include "platform/Log.h"

namespace {

// Lock files hold no data; they are private to the user like their folder.
int OpenLockFile(const std::string& path) {
  return open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

constexpr auto kPollInterval = std::chrono::milliseconds(5);

}  // namespace

CLockFile::CLockFile(std::string path) : path_(std::move(path)) {}

CLockFile::~CLockFile() {
  if (held_.load()) Unlock();
}

int CLockFile::CanOpen() const {
  int fd = OpenLockFile(path_);
  if (fd < 0) {
    SetLastError(static_cast<uint32_t>(errno));
    return 0;
  }
  close(fd);
  return 1;
}

int CLockFile::Lock(int timeoutMs) {
  using Clock = std::chrono::steady_clock;
  if (timeoutMs < 0) timeoutMs = 0;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  if (!inProcess_.try_lock_until(deadline)) {
    SetLastError(ETIMEDOUT);
    return 0;
  }
  int fd = OpenLockFile(path_);
  if (fd < 0) {
    SetLastError(static_cast<uint32_t>(errno));
    LogFmt("lock file %s can't be opened (errno %d)", path_.c_str(), errno);
    inProcess_.unlock();
    return 0;
  }
  for (;;) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) break;
    if (errno != EWOULDBLOCK && errno != EINTR) {
      SetLastError(static_cast<uint32_t>(errno));
      close(fd);
      inProcess_.unlock();
      return 0;
    }
    if (Clock::now() >= deadline) {
      SetLastError(ETIMEDOUT);
      close(fd);
      inProcess_.unlock();
      return 0;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
  fd_ = fd;
  held_.store(true);
  return 1;
}

void CLockFile::Unlock() {
  if (!held_.load()) return;
  held_.store(false);
  // Closing the only descriptor of this open file description drops the flock.
  close(fd_);
  fd_ = -1;
  inProcess_.unlock();
}
