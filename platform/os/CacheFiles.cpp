#include "platform/os/CacheFiles.h"

#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

namespace os {
namespace {

bool HasExtension(const std::string& name, const std::vector<std::string>& extensions) {
  for (const std::string& ext : extensions) {
    if (name.size() <= ext.size() + 1) continue;
    size_t dot = name.size() - ext.size() - 1;
    if (name[dot] == '.' && strcasecmp(name.c_str() + dot + 1, ext.c_str()) == 0) return true;
  }
  return false;
}

// Empties dir of cache files; true when nothing else was in it (so that the
// caller may remove it).
bool Walk(const std::string& dir, const std::vector<std::string>& extensions, CacheCleanup* out) {
  DIR* d = opendir(dir.c_str());
  if (!d) {
    ++out->kept;
    return false;
  }
  std::vector<std::string> names;
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(d);
  bool emptied = true;
  for (const std::string& name : names) {
    std::string path = dir + "/" + name;
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0) {
      ++out->kept;
      emptied = false;
    } else if (S_ISDIR(st.st_mode)) {
      if (Walk(path, extensions, out) && rmdir(path.c_str()) == 0) {
        ++out->foldersRemoved;
      } else {
        emptied = false;
      }
    } else if (S_ISREG(st.st_mode) && HasExtension(name, extensions) && unlink(path.c_str()) == 0) {
      ++out->filesRemoved;
    } else {
      ++out->kept;  // another file, a link, or a cache file that would not go
      emptied = false;
    }
  }
  // A folder that held nothing at all was not emptied by this walk.
  return emptied && !names.empty();
}

}  // namespace

CacheCleanup RemoveCacheFiles(const std::string& root, const std::vector<std::string>& extensions) {
  CacheCleanup out;
  std::string dir = root;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  struct stat st {};
  if (dir.empty() || lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    out.kept = 1;
    return out;
  }
  Walk(dir, extensions, &out);
  return out;
}

}  // namespace os
