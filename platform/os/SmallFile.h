// Reading a small file whole, for inputs that the program reads into memory
// (playlists): only a regular file is opened, without blocking on a FIFO or
// a device, and its size is checked against the limit before anything is read.
#pragma once

#include <cstdint>
#include <string>

namespace os {

enum class TSmallFileResult {
  kRead,        // the whole file is in bytes
  kMissing,     // nothing at the path
  kNotRegular,  // a directory, FIFO, device or socket
  kTooBig,      // larger than the limit; nothing was read
  kUnreadable   // no permission, or a read failed
};

// Reads the file at path into bytes when it holds at most maxBytes bytes.
// A file that grows while it is read is cut at maxBytes + 1 bytes and
// reported as too big.
TSmallFileResult ReadSmallFile(const std::string& path, int64_t maxBytes, std::string* bytes);

}  // namespace os
