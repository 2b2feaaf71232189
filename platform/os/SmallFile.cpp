#include "platform/os/SmallFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace os {

namespace {

// Closes the descriptor on every way out.
struct Descriptor {
  int fd;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

}  // namespace

TSmallFileResult ReadSmallFile(const std::string& path, int64_t maxBytes, std::string* bytes) {
  bytes->clear();
  // O_NONBLOCK: opening a FIFO must not wait for a writer. The type is then
  // checked on the open descriptor, so a file swapped in between is seen.
  Descriptor d{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
  if (d.fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR || errno == ENAMETOOLONG || errno == ELOOP)
      return TSmallFileResult::kMissing;
    if (errno == ENXIO) return TSmallFileResult::kNotRegular;  // a FIFO without a reader
    return TSmallFileResult::kUnreadable;
  }
  struct stat st;
  if (::fstat(d.fd, &st) != 0) return TSmallFileResult::kUnreadable;
  if (!S_ISREG(st.st_mode)) return TSmallFileResult::kNotRegular;
  if (st.st_size > maxBytes) return TSmallFileResult::kTooBig;
  bytes->resize(static_cast<size_t>(st.st_size) + 1);
  size_t got = 0;
  while (got < bytes->size()) {
    ssize_t n = ::read(d.fd, bytes->data() + got, bytes->size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      bytes->clear();
      return TSmallFileResult::kUnreadable;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
    // The file grew since fstat: read on, but never past the limit.
    if (got == bytes->size() && static_cast<int64_t>(got) <= maxBytes)
      bytes->resize(std::min<size_t>(bytes->size() * 2, static_cast<size_t>(maxBytes) + 1));
  }
  if (static_cast<int64_t>(got) > maxBytes) {
    bytes->clear();
    return TSmallFileResult::kTooBig;
  }
  bytes->resize(got);
  return TSmallFileResult::kRead;
}

}  // namespace os
