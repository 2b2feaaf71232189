#include "platform/outside/mp3enc/VbrHeaderWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace mp3enc {

namespace {

constexpr size_t kId3HeaderBytes = 10;
constexpr uint8_t kId3FooterFlag = 0x10;
// A tag frame's marker follows the 4-byte header, the CRC and at most 32
// bytes of side information.
constexpr size_t kMarkerSearchEnd = 4 + 2 + 32 + 4;

// The descriptor, closed on every way out.
class OpenFile {
 public:
  explicit OpenFile(const char* path) : fd_(::open(path, O_RDWR | O_CLOEXEC)) {}
  ~OpenFile() {
    if (fd_ >= 0) ::close(fd_);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

bool ReadAt(int fd, uint8_t* data, size_t size, int64_t offset) {
  while (size) {
    const ssize_t n = ::pread(fd, data, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

bool WriteAt(int fd, const uint8_t* data, size_t size, int64_t offset) {
  while (size) {
    const ssize_t n = ::pwrite(fd, data, size, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
    offset += n;
  }
  return true;
}

}  // namespace

BE_ERR VbrHeaderWriter::Write(const char* path, const std::vector<uint8_t>& frame) {
  if (!path || !HasMarker(frame)) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  OpenFile file(path);
  struct stat status;
  if (file.fd() < 0 || ::fstat(file.fd(), &status) != 0 || !S_ISREG(status.st_mode))
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  const int64_t start = AudioStart(file.fd());
  if (start < 0) return BE_ERR_INVALID_FORMAT_PARAMETERS;
  std::vector<uint8_t> found(frame.size());
  if (!ReadAt(file.fd(), found.data(), found.size(), start) || !IsReservation(found, frame))
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  if (!WriteAt(file.fd(), frame.data(), frame.size(), start))
    return BE_ERR_INVALID_FORMAT_PARAMETERS;
  return BE_ERR_SUCCESSFUL;
}

int64_t VbrHeaderWriter::AudioStart(int fd) {
  uint8_t header[kId3HeaderBytes];
  if (!ReadAt(fd, header, sizeof header, 0) || std::memcmp(header, "ID3", 3) != 0) return 0;
  // The size is syncsafe: four 7-bit bytes, excluding the header (and footer).
  int64_t size = 0;
  for (int i = 6; i < 10; ++i) {
    if (header[i] & 0x80) return -1;
    size = (size << 7) | header[i];
  }
  return static_cast<int64_t>(kId3HeaderBytes) + size +
         ((header[5] & kId3FooterFlag) ? static_cast<int64_t>(kId3HeaderBytes) : 0);
}

bool VbrHeaderWriter::HasMarker(const std::vector<uint8_t>& frame) {
  const size_t end = std::min(frame.size(), kMarkerSearchEnd);
  for (size_t i = 4; i + 4 <= end; ++i)
    if (std::memcmp(&frame[i], "Xing", 4) == 0 || std::memcmp(&frame[i], "Info", 4) == 0)
      return true;
  return false;
}

bool VbrHeaderWriter::IsReservation(const std::vector<uint8_t>& found,
                                    const std::vector<uint8_t>& frame) {
  if (found == frame) return true;  // written before
  // The same header, but for the mode extension, which LAME sets only in
  // the final frame.
  constexpr uint8_t kModeExtension = 0x30;
  if (std::memcmp(found.data(), frame.data(), 3) != 0 ||
      (found[3] | kModeExtension) != (frame[3] | kModeExtension))
    return false;
  // Freshly reserved, the frame is empty after its header and CRC; an audio
  // frame, even a silent one, has side information there.
  const size_t body = (found[1] & 1) ? 4 : 6;
  return std::all_of(found.begin() + static_cast<std::ptrdiff_t>(body), found.end(),
                     [](uint8_t b) { return b == 0; });
}

}  // namespace mp3enc
