#include "platform/os/MountedDrives.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/os/MountTable.h"

namespace os {

namespace {

const char* const kNetworkTypes[] = {"nfs", "nfs4", "cifs",  "smb3", "smbfs",     "afs",
                                     "9p",  "ceph", "ncpfs", "coda", "fuse.sshfs"};
const char* const kOpticalTypes[] = {"iso9660", "udf"};

bool IsOneOf(const std::string& type, const auto& list) {
  return std::find(std::begin(list), std::end(list), type) != std::end(list);
}

bool ReadsOne(const std::string& file) {
  std::ifstream in(file);
  char c = 0;
  return in.get(c) && c == '1';
}

// The kernel marks the whole disk removable; a partition's folder in sysfs
// lies inside its disk's.
bool DeviceIsRemovable(const std::string& device) {
  struct stat st;
  if (stat(device.c_str(), &st) != 0 || !S_ISBLK(st.st_mode)) return false;
  std::string dev = "/sys/dev/block/" + std::to_string(major(st.st_rdev)) + ":" +
                    std::to_string(minor(st.st_rdev));
  return ReadsOne(dev + "/removable") || ReadsOne(dev + "/../removable");
}

}  // namespace

std::vector<TMountedDrive> MountedDrivesFrom(
    std::istream& table, const std::function<bool(const std::string& device)>& isRemovable) {
  std::vector<TMountedDrive> drives;
  std::string line;
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string device, point, type;
    if (!(fields >> device >> point >> type)) continue;
    device = UnescapeMountField(device);
    TMountedDrive drive{UnescapeMountField(point), TDriveKind::Fixed};
    if (IsOneOf(type, kNetworkTypes)) {
      drive.kind = TDriveKind::Network;
    } else if (IsOneOf(type, kOpticalTypes)) {
      drive.kind = TDriveKind::Optical;
    } else if (device.compare(0, 5, "/dev/") == 0) {
      drive.kind = isRemovable(device) ? TDriveKind::Removable : TDriveKind::Fixed;
    } else {
      continue;
    }
    auto same = [&](const TMountedDrive& d) { return d.mountPoint == drive.mountPoint; };
    if (std::none_of(drives.begin(), drives.end(), same)) drives.push_back(drive);
  }
  return drives;
}

std::vector<TMountedDrive> MountedDrives() {
  std::ifstream mounts("/proc/self/mounts");
  return MountedDrivesFrom(mounts, DeviceIsRemovable);
}

}  // namespace os
