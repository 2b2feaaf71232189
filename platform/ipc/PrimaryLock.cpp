#include "platform/ipc/PrimaryLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

#include "platform/LastError.h"

CPrimaryLock::~CPrimaryLock() { Release(); }

int CPrimaryLock::TryAcquire(const std::string& path) {
  if (fd_ >= 0) return 1;
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    SetLastError(static_cast<uint32_t>(errno));
    return 0;
  }
  while (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    SetLastError(static_cast<uint32_t>(errno));
    close(fd);
    return 0;
  }
  fd_ = fd;
  return 1;
}

void CPrimaryLock::Release() {
  if (fd_ >= 0) {
    close(fd_);
    fd_ = -1;
  }
}
