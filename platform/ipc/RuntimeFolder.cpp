#include "platform/ipc/RuntimeFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/LastError.h"
#include "platform/Log.h"

namespace {

// Makes `path` (mode 0700) unless it exists, then checks that it is a private
// directory of this user. A symbolic link is refused, since lstat sees it.
bool MakePrivateFolder(const std::string& path) {
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    SetLastError(static_cast<uint32_t>(errno));
    LogFmt("runtime folder %s can't be created (errno %d)", path.c_str(), errno);
    return false;
  }
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    SetLastError(static_cast<uint32_t>(errno));
    return false;
  }
  if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & 077) != 0) {
    SetLastError(EACCES);
    LogFmt("runtime folder %s refused: not a private directory of this user", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

std::string GetRuntimeFolder() {
  std::string folder;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime != nullptr && runtime[0] == '/') {
    folder = std::string(runtime) + "/sonoduct";
  } else {
    folder = "/tmp/sonoduct-" + std::to_string(static_cast<unsigned long>(geteuid()));
  }
  if (!MakePrivateFolder(folder)) return std::string();
  return folder;
}
