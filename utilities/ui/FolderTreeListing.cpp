#include "utilities/ui/FolderTreeListing.h"

#include <algorithm>

#include "platform/os/Directories.h"

namespace {

TExplorerTreeImage ImageOf(os::TDriveKind kind) {
  switch (kind) {
    case os::TDriveKind::Removable:
      return kImageRemovableDrive;
    case os::TDriveKind::Optical:
      return kImageCDDrive;
    case os::TDriveKind::Network:
      return kImageNetworkDrive;
    case os::TDriveKind::Fixed:
      break;
  }
  return kImageFixedDrive;
}

bool Shown(os::TDriveKind kind, uint32_t flags) {
  switch (kind) {
    case os::TDriveKind::Removable:
      return (flags & kExplorerTreeRemovableDrives) != 0;
    case os::TDriveKind::Optical:
      return (flags & kExplorerTreeCDDrives) != 0;
    case os::TDriveKind::Network:
      return (flags & kExplorerTreeNetworkDrives) != 0;
    case os::TDriveKind::Fixed:
      break;
  }
  return true;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool ShownBefore(const std::string& a, const std::string& b) {
  auto less = [](char x, char y) { return Lower(x) < Lower(y); };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), less)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), less)) return false;
  return a < b;
}

// True when root holds path as a whole-component prefix.
bool Holds(const std::string& root, const std::string& path) {
  if (root.empty() || path.compare(0, root.size(), root) != 0) return false;
  return root.back() == '/' || path.size() == root.size() || path[root.size()] == '/';
}

}  // namespace

std::vector<TTreeDrive> ExplorerTreeDrives(const std::vector<os::TMountedDrive>& mounted,
                                           uint32_t flags) {
  std::vector<TTreeDrive> drives{{"/", kImageFixedDrive}};
  for (const os::TMountedDrive& drive : mounted) {
    if (drive.mountPoint == "/") {
      drives.front().image = ImageOf(drive.kind);
    } else if (Shown(drive.kind, flags)) {
      drives.push_back({drive.mountPoint, ImageOf(drive.kind)});
    }
  }
  return drives;
}

std::vector<std::string> ExplorerTreeFolders(const std::string& dir) {
  std::vector<std::string> names = os::ListSubdirectories(dir);
  std::sort(names.begin(), names.end(), ShownBefore);
  return names;
}

bool HasSubDirectories(const std::string& dir) { return !os::ListSubdirectories(dir).empty(); }

std::string ChildPath(const std::string& dir, const std::string& name) {
  return !dir.empty() && dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string StartRoot(const std::string& path, const std::vector<TTreeDrive>& drives) {
  std::string best;
  for (const TTreeDrive& drive : drives)
    if (Holds(drive.root, path) && drive.root.size() > best.size()) best = drive.root;
  return best;
}

std::vector<std::string> ComponentsBelow(const std::string& path, const std::string& root) {
  std::vector<std::string> components;
  size_t at = std::min(root.size(), path.size());
  while (at < path.size()) {
    size_t end = path.find('/', at);
    if (end == std::string::npos) end = path.size();
    if (end > at) components.push_back(path.substr(at, end - at));
    at = end + 1;
  }
  return components;
}
