// What the folder tree control lists: the drives it shows for its flags,
// the folders below a folder in the order shown, and the path from a drive
// down to a start folder. The tree widget only shows these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/os/MountedDrives.h"

// Flag bits of the tree's properties.
constexpr uint32_t kExplorerTreeNetworkDrives = 1u << 0;
constexpr uint32_t kExplorerTreeRemovableDrives = 1u << 1;
constexpr uint32_t kExplorerTreeCDDrives = 1u << 2;
constexpr uint32_t kExplorerTreeOpenFolderIcon = 1u << 3;

// Image indexes of the tree's items.
enum TExplorerTreeImage {
  kImageFixedDrive = 0,
  kImageCDDrive = 1,
  kImageRemovableDrive = 3,
  kImageFolder = 4,
  kImageOpenFolder = 5,
  kImageNetworkDrive = 6,
};

struct TTreeDrive {
  std::string root;
  TExplorerTreeImage image = kImageFixedDrive;
};

// The drives shown for flags, in the order given: fixed drives always,
// removable, optical and network drives only with their flag. The root
// folder "/" comes first as a fixed drive even when the mount table does
// not list it as one (an overlay or a RAM root), so every absolute path has
// a drive to start from.
std::vector<TTreeDrive> ExplorerTreeDrives(const std::vector<os::TMountedDrive>& mounted,
                                           uint32_t flags);

// The names of the folders in dir as the tree shows them: every
// subfolder, those whose names begin with '.' too, sorted ignoring case
// and, among names equal but for case, by byte value.
std::vector<std::string> ExplorerTreeFolders(const std::string& dir);

// True when dir holds a folder.
bool HasSubDirectories(const std::string& dir);

// dir and name joined by one '/'.
std::string ChildPath(const std::string& dir, const std::string& name);

// The drive a path starts from: the deepest root that holds it (whole
// components only, so "/media/disk2" is not under "/media/disk"); empty
// for a relative path or when no root holds it.
std::string StartRoot(const std::string& path, const std::vector<TTreeDrive>& drives);

// The components of path below root ("/a//b/" under "/" gives "a", "b").
std::vector<std::string> ComponentsBelow(const std::string& path, const std::string& root);
