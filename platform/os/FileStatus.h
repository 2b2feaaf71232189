// Thin wrappers over stat() and realpath() for the layers above.
#pragma once

#include <cstdint>
#include <string>

namespace os {

bool PathExists(const std::string& path);   // anything at path (links followed)
bool IsDirectory(const std::string& path);  // stat() says directory
bool IsRegularFile(const std::string& path);

struct FileTimes {
  int64_t modifiedNs = 0;  // st_mtim, nanoseconds since the epoch
  int64_t changedNs = 0;   // st_ctim
};
// False when the file cannot be examined.
bool GetFileTimes(const std::string& path, FileTimes* times);

// realpath(): absolute, links and "."/".." resolved; empty when path does not exist.
std::string CanonicalPath(const std::string& path);
// The current directory; empty when it cannot be found.
std::string CurrentDirectory();

}  // namespace os
