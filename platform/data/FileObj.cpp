#include "platform/data/FileObj.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/LastError.h"

namespace {

constexpr int64_t kReadBufferSize = 64 * 1024;

}  // namespace

CFileObj::CFileObj() = default;

CFileObj::~CFileObj() { Close(); }

int CFileObj::Copy(CRefObj* from) {
  if (auto* file = dynamic_cast<CFileObj*>(from); file != nullptr && file != this)
    path_ = file->path_;
  return CRefObj::Copy(from);
}

CRefObj* CFileObj::Copy() {
  if (fd_ < 0) {
    SetLastError(EBADF);
    return nullptr;
  }
  auto* copy = new (std::nothrow) CFileObj();
  if (copy == nullptr) {
    SetLastError(ENOMEM);
    return nullptr;
  }
  // A fresh descriptor on the same file, even if the name was renamed or removed meanwhile.
  std::string self = "/proc/self/fd/" + std::to_string(fd_);
  // Without /proc, or when the file may no longer be written, fall back to the
  // name and to reading only.
  // The name is used only while it still names this very file.
  auto sameFile = [this](CFileObj* other) {
    struct stat a, b;
    return fstat(fd_, &a) == 0 && fstat(other->fd_, &b) == 0 && a.st_dev == b.st_dev &&
           a.st_ino == b.st_ino;
  };
  auto reopen = [&](int flags) {
    if (copy->OpenWithFlags(self, flags)) return true;
    if (path_.empty() || !copy->OpenWithFlags(path_, flags)) return false;
    if (sameFile(copy)) return true;
    copy->Close();
    SetLastError(ENOENT);
    return false;
  };
  int writable = writable_;
  bool opened = reopen(writable ? O_RDWR : O_RDONLY);
  if (!opened && writable) {
    writable = 0;
    opened = reopen(O_RDONLY);
  }
  if (!opened) {
    uint32_t err = GetLastError();
    delete copy;
    SetLastError(err);
    return nullptr;
  }
  copy->path_ = path_;
  copy->writable_ = writable;
  copy->CRefObj::Copy(this);
  copy->pos_ = pos_;
  return copy;
}

int CFileObj::IsOpen() { return fd_ >= 0; }

int CFileObj::Close() {
  DropBuffer();
  buf_.clear();
  buf_.shrink_to_fit();
  if (fd_ < 0) return 1;
  int rc = ::close(fd_);
  fd_ = -1;
  writable_ = 0;
  pos_ = 0;
  if (rc != 0) {
    SetLastError(errno);
    return 0;
  }
  return 1;
}

int CFileObj::OpenWithFlags(const std::string& path, int flags) {
  Close();
  // O_NONBLOCK so that opening a FIFO cannot wait for a writer; the type is
  // checked before anything is read.
  int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) {
    SetLastError(errno);
    return 0;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    SetLastError(errno);
    ::close(fd);
    return 0;
  }
  if (!S_ISREG(st.st_mode)) {
    SetLastError(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    ::close(fd);
    return 0;
  }
  int fl = fcntl(fd, F_GETFL);
  if (fl != -1) fcntl(fd, F_SETFL, fl & ~O_NONBLOCK);
  fd_ = fd;
  pos_ = 0;
  ResetDataWindow();
  return 1;
}

int CFileObj::Open(const std::string& path, int mode, int) {
  if (path.empty()) {
    Close();
    SetLastError(ENOENT);
    return 0;
  }
  if (!OpenWithFlags(path, mode == 0 ? O_RDONLY : O_RDWR)) return 0;
  path_ = path;
  writable_ = mode != 0;
  return 1;
}

int CFileObj::Create(const std::string& path) {
  if (path.empty()) {
    Close();
    SetLastError(ENOENT);
    return 0;
  }
  // Refuse a FIFO or device before O_TRUNC could touch it.
  struct stat st;
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    Close();
    SetLastError(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
    return 0;
  }
  if (!OpenWithFlags(path, O_RDWR | O_CREAT | O_TRUNC)) return 0;
  path_ = path;
  writable_ = 1;
  return 1;
}

int64_t CFileObj::Read(void* buf, int64_t len) {
  if (fd_ < 0) {
    SetLastError(EBADF);
    return 0;
  }
  if (buf == nullptr || len <= 0) return 0;
  auto* out = static_cast<unsigned char*>(buf);
  int64_t done = 0;
  while (done < len) {
    // Serve what the buffer holds at the position.
    if (pos_ >= bufStart_ && pos_ < bufStart_ + bufLen_) {
      int64_t n = std::min(len - done, bufStart_ + bufLen_ - pos_);
      std::memcpy(out + done, buf_.data() + (pos_ - bufStart_), static_cast<size_t>(n));
      done += n;
      pos_ += n;
      continue;
    }
    int64_t want = len - done;
    if (want >= kReadBufferSize) {
      // Large reads go straight into the caller's memory.
      ssize_t got = pread(fd_, out + done, static_cast<size_t>(want), pos_);
      if (got < 0) {
        if (errno == EINTR) continue;
        SetLastError(errno);
        break;
      }
      if (got == 0) break;
      done += got;
      pos_ += got;
      continue;
    }
    if (buf_.size() < static_cast<size_t>(kReadBufferSize)) buf_.resize(kReadBufferSize);
    ssize_t got = pread(fd_, buf_.data(), static_cast<size_t>(kReadBufferSize), pos_);
    if (got < 0) {
      if (errno == EINTR) continue;
      SetLastError(errno);
      DropBuffer();
      break;
    }
    bufStart_ = pos_;
    bufLen_ = got;
    if (got == 0) break;
  }
  return done;
}

int64_t CFileObj::Write(const void* buf, int64_t len) {
  if (fd_ < 0 || !writable_) {
    SetLastError(EBADF);
    return 0;
  }
  if (buf == nullptr || len <= 0) return 0;
  DropBuffer();
  auto* in = static_cast<const unsigned char*>(buf);
  int64_t done = 0;
  while (done < len) {
    ssize_t put = pwrite(fd_, in + done, static_cast<size_t>(len - done), pos_);
    if (put < 0) {
      if (errno == EINTR) continue;
      SetLastError(errno);
      break;
    }
    if (put == 0) {
      SetLastError(ENOSPC);
      break;
    }
    done += put;
    pos_ += put;
  }
  return done;
}

int CFileObj::Seek(int64_t pos, int origin) {
  if (fd_ < 0) {
    SetLastError(EBADF);
    return 0;
  }
  int64_t base = 0;
  if (origin == kSeekCurrent) {
    base = pos_;
  } else if (origin == kSeekEnd) {
    base = Size();
    if (base < 0) return 0;
  } else if (origin != kSeekBegin) {
    SetLastError(EINVAL);
    return 0;
  }
  int64_t target = base + pos;
  if (target < 0) {
    SetLastError(EINVAL);
    return 0;
  }
  pos_ = target;
  return 1;
}

int64_t CFileObj::Tell() { return fd_ < 0 ? -1 : pos_; }

int64_t CFileObj::Size() {
  if (fd_ < 0) return -1;
  struct stat st;
  if (fstat(fd_, &st) != 0) {
    SetLastError(errno);
    return -1;
  }
  return st.st_size;
}

int CFileObj::Type() { return kRefObjFile; }
