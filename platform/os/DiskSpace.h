// Free space and the kind of file system a path lies on.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace os {

// The path itself when it exists, else its nearest existing ancestor ("." for
// a relative path none of whose levels exists, "/" at the top).
std::string NearestExistingAncestor(const std::string& path);

// Bytes available to unprivileged users (statvfs f_bavail × f_frsize) on the
// file system holding path, or its nearest existing ancestor; -1 on failure.
int64_t FreeBytes(const std::string& path);

// True when path (or its nearest existing ancestor) lies on a local disk.
// Network file systems (NFS, SMB/CIFS, AFS, Coda, 9P, Ceph, NCP), FUSE mounts
// (mostly remote or slow: sshfs, cloud drives), optical media (ISO 9660, UDF)
// and kernel pseudo file systems are not; everything else is, tmpfs included
// (it is memory, as fast as any local disk).
bool IsOnLocalDisk(const std::string& path);

// Mount points of block devices whose file system is a local disk, in the
// order of the mount table.
std::vector<std::string> LocalDiskMountPoints();

}  // namespace os
