#include "platform/os/DiskSpace.h"

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/vfs.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/os/MountTable.h"

namespace os {

namespace {

// statfs f_type values of file systems that are not local disks.
constexpr uint32_t kNonLocalTypes[] = {
    0x6969,      // NFS
    0x517B,      // SMB
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2
    0x73757245,  // Coda
    0x5346414F,  // AFS
    0x6B414653,  // kAFS
    0x01021997,  // 9P
    0x00C36400,  // Ceph
    0x564C,      // NCP
    0x65735546,  // FUSE
    0x9660,      // ISO 9660
    0x15013346,  // UDF
    0x9FA0,      // proc
    0x62656572,  // sysfs
};

}  // namespace

std::string NearestExistingAncestor(const std::string& path) {
  std::string p = path.empty() ? "." : path;
  struct stat st;
  while (stat(p.c_str(), &st) != 0) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    size_t slash = p.rfind('/');
    if (slash == std::string::npos) return ".";
    p = slash == 0 ? "/" : p.substr(0, slash);
  }
  return p;
}

int64_t FreeBytes(const std::string& path) {
  struct statvfs vfs;
  if (statvfs(NearestExistingAncestor(path).c_str(), &vfs) != 0) return -1;
  return static_cast<int64_t>(vfs.f_bavail) * static_cast<int64_t>(vfs.f_frsize);
}

bool IsOnLocalDisk(const std::string& path) {
  struct statfs fs;
  if (statfs(NearestExistingAncestor(path).c_str(), &fs) != 0) return false;
  uint32_t type = static_cast<uint32_t>(fs.f_type);
  return std::find(std::begin(kNonLocalTypes), std::end(kNonLocalTypes), type) ==
         std::end(kNonLocalTypes);
}

std::vector<std::string> LocalDiskMountPoints() {
  std::vector<std::string> points;
  std::ifstream mounts("/proc/self/mounts");
  std::string line;
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string device, point;
    if (!(fields >> device >> point) || device.compare(0, 5, "/dev/") != 0) continue;
    point = UnescapeMountField(point);
    if (std::find(points.begin(), points.end(), point) == points.end() && IsOnLocalDisk(point))
      points.push_back(point);
  }
  return points;
}

}  // namespace os
