// The mounted file systems that a folder browser shows as drives, each with
// the kind of medium it lies on.
#pragma once

#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace os {

enum class TDriveKind { Fixed, Removable, Optical, Network };

struct TMountedDrive {
  std::string mountPoint;
  TDriveKind kind = TDriveKind::Fixed;
};

// The drives of a mount table in the format of /proc/self/mounts, in its
// order, each mount point once. Network file systems (NFS, SMB/CIFS, AFS,
// 9P, Ceph, NCP, sshfs) are network drives; ISO 9660 and UDF are optical;
// other file systems on a block device ("/dev/...") are removable when
// isRemovable says so for the device, else fixed. Everything else (kernel
// pseudo file systems, tmpfs, overlays) is left out.
std::vector<TMountedDrive> MountedDrivesFrom(
    std::istream& table, const std::function<bool(const std::string& device)>& isRemovable);

// The drives of this process's mount table; the kernel's removable flag of
// the device (or of the disk a partition lies on) decides removable.
std::vector<TMountedDrive> MountedDrives();

}  // namespace os
