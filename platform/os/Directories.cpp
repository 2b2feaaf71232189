#include "platform/os/Directories.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace os {

bool MakeDirectory(const std::string& path, mode_t mode) {
  if (path.empty()) return false;
  if (mkdir(path.c_str(), mode) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::vector<std::string> ListSubdirectories(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return names;
  std::string base = dir;
  if (!base.empty() && base.back() != '/') base += '/';
  while (struct dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool isDir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
      struct stat st;
      isDir = stat((base + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (isDir) names.push_back(std::move(name));
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace os
