// Free space and the kind of disk a path lies on.
#pragma once

// 1 when path lies on a local disk (see os::IsOnLocalDisk for which file
// systems count); 0 for network and FUSE mounts, optical media, and for a
// path without any '/'. A path that does not exist yet is judged by its
// nearest existing ancestor.
int IsOnLocalHardDrive(const char* path);

// Free space in thousands of bytes on the file system that holds path, or,
// when path does not exist yet, its nearest existing ancestor; 0 on failure.
// There is no upper limit on the value.
double GetKBFree(const char* path);

// While logging is on: logs "<mount point> has <n> MB free." for each local
// disk; stops after 20 seconds (a hung mount must not stall start-up).
void LogCurrentHardDriveSpace();
