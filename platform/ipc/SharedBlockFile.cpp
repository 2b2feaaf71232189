#include "platform/ipc/SharedBlockFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/LastError.h"
#include "platform/Log.h"

CSharedBlockFile::~CSharedBlockFile() { Close(); }

int CSharedBlockFile::Open(const std::string& path, int64_t size, int setSize) {
  Close();
  if (size <= 0) {
    SetLastError(EINVAL);
    return 0;
  }
  int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    SetLastError(static_cast<uint32_t>(errno));
    LogFmt("shared block %s can't be opened (errno %d)", path.c_str(), errno);
    return 0;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != geteuid()) {
    LogFmt("shared block %s refused: not a regular file of this user", path.c_str());
    SetLastError(EACCES);
    close(fd);
    return 0;
  }
  if (setSize && static_cast<int64_t>(st.st_size) != size) {
    if (ftruncate(fd, static_cast<off_t>(size)) != 0 || fstat(fd, &st) != 0) {
      SetLastError(static_cast<uint32_t>(errno));
      close(fd);
      return 0;
    }
  }
  if (static_cast<int64_t>(st.st_size) != size) {
    LogFmt("shared block %s refused: %lld bytes instead of %lld", path.c_str(),
           static_cast<long long>(st.st_size), static_cast<long long>(size));
    SetLastError(EINVAL);
    close(fd);
    return 0;
  }
  void* map = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (map == MAP_FAILED) {
    SetLastError(static_cast<uint32_t>(errno));
    close(fd);
    return 0;
  }
  fd_ = fd;
  data_ = static_cast<uint8_t*>(map);
  size_ = size;
  return 1;
}

void CSharedBlockFile::Close() {
  if (data_ != nullptr) munmap(data_, static_cast<size_t>(size_));
  if (fd_ >= 0) close(fd_);
  data_ = nullptr;
  fd_ = -1;
  size_ = 0;
}

int CSharedBlockFile::SizeIntact() const {
  if (fd_ < 0) return 0;
  struct stat st {};
  if (fstat(fd_, &st) != 0) return 0;
  return static_cast<int64_t>(st.st_size) == size_ ? 1 : 0;
}
