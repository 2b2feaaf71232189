#include "utilities/files/DiskSpace.h"

#include <cstring>

#include "platform/Log.h"
#include "platform/os/DiskSpace.h"
#include "platform/os/SystemInfo.h"

int IsOnLocalHardDrive(const char* path) {
  if (path == nullptr || std::strchr(path, '/') == nullptr) return 0;
  return os::IsOnLocalDisk(path) ? 1 : 0;
}

double GetKBFree(const char* path) {
  if (path == nullptr || *path == '\0') return 0.0;
  int64_t bytes = os::FreeBytes(path);
  return bytes < 0 ? 0.0 : static_cast<double>(bytes) * 0.001;
}

void LogCurrentHardDriveSpace() {
  if (!LoggingNow()) return;
  int64_t start = os::TickCountMs();
  for (const std::string& point : os::LocalDiskMountPoints()) {
    if (os::TickCountMs() - start > 20000) break;
    LogFmt("%s has %0.2f MB free.", point.c_str(), GetKBFree(point.c_str()) * 0.001);
  }
}
