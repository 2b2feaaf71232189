// Removing the engine's cache files (peaks and seek maps) from the folder
// that holds them. The walk looks at each entry with lstat and never follows
// a symbolic link, deletes only files with the given extensions, and removes
// a folder only when this walk emptied it.
#pragma once

#include <string>
#include <vector>

namespace os {

struct CacheCleanup {
  int filesRemoved = 0;
  int foldersRemoved = 0;
  // Files and links that are not cache files, and entries that could not be
  // removed or read: their folders stay.
  int kept = 0;
};

// Removes the files below root whose names end in "." + one of extensions
// (compared without case), and the folders below root that held nothing
// else; root itself stays. A root that is itself a symbolic link, or not a
// folder, is left alone (kept 1).
CacheCleanup RemoveCacheFiles(const std::string& root, const std::vector<std::string>& extensions);

}  // namespace os
