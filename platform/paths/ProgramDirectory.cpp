#include "platform/paths/ProgramDirectory.h"

#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/LastError.h"
#include "platform/paths/Paths.h"

std::string ProgramPath() {
  std::vector<char> buf(4096);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size());
    if (n < 0) {
      SetLastError(errno);
      return std::string();
    }
    if (static_cast<size_t>(n) < buf.size()) {
      std::string path(buf.data(), static_cast<size_t>(n));
      // A program file replaced while running reads as "path (deleted)".
      const std::string deleted = " (deleted)";
      if (path.size() > deleted.size() &&
          path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
        path.erase(path.size() - deleted.size());
      return path;
    }
    if (buf.size() >= (1u << 20)) return std::string();
    buf.resize(buf.size() * 2);
  }
}

std::string ProgramDirectory() { return ExtractDirectory(ProgramPath()); }

std::string CompanionLibrary(const std::string& name) {
  std::string dir = ProgramDirectory();
  if (dir.empty()) return {};
  std::string beside = dir + name;
  if (access(beside.c_str(), F_OK) == 0) return beside;
  std::string installed = dir + "../lib/sonoduct/" + name;
  return access(installed.c_str(), F_OK) == 0 ? installed : beside;
}
