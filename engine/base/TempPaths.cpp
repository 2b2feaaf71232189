#include "engine/base/TempPaths.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/os/Directories.h"
#include "platform/os/FileStatus.h"
#include "platform/os/SystemInfo.h"
#include "platform/os/UserDirectories.h"
#include "utilities/strings/BoundedCopy.h"

namespace {

constexpr size_t kMaxComponent = 255;
constexpr mode_t kCacheMode = 0700;  // cache names reveal where the user's files lie

std::mutex pathLock;
std::string tempPath;  // ends with '/' when set

std::string Hash64Hex(const std::string& s) {
  uint64_t h = 1469598103934665603ULL;  // FNV-1a
  for (unsigned char c : s) {
    h ^= c;
    h *= 1099511628211ULL;
  }
  char buf[17];
  std::snprintf(buf, sizeof buf, "%016" PRIx64, h);
  return buf;
}

size_t BackToCharBoundary(const std::string& s, size_t n) {
  while (n > 0 && n < s.size() && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
  return n;
}

// A name component that fits the file system: long ones keep their start and
// their extension, with a hash of the whole between them.
std::string FitComponent(const std::string& c) {
  if (c.size() <= kMaxComponent) return c;
  std::string tail;
  size_t dot = c.rfind('.');
  if (dot != std::string::npos && c.size() - dot <= 16) tail = c.substr(dot);
  std::string hash = "~" + Hash64Hex(c);
  size_t keep = BackToCharBoundary(c, kMaxComponent - hash.size() - tail.size());
  return c.substr(0, keep) + hash + tail;
}

// Makes every level of an absolute folder path ending in '/'.
bool MakeFolders(const std::string& folder) {
  for (size_t i = 1; i < folder.size(); ++i)
    if (folder[i] == '/' && folder[i - 1] != '/') {
      std::string prefix = folder.substr(0, i);
      if (!os::IsDirectory(prefix) && !os::MakeDirectory(prefix, kCacheMode)) return false;
    }
  return true;
}

}  // namespace

void SetTempSndPath(const char* path) {
  std::lock_guard<std::mutex> lock(pathLock);
  tempPath = path != nullptr ? path : "";
  if (!tempPath.empty() && tempPath.back() != '/') tempPath += '/';
}

std::string GetTempSndPath() {
  std::lock_guard<std::mutex> lock(pathLock);
  return tempPath;
}

void GetTempSndPath(char* out, long max) { CopyWhole(out, max, GetTempSndPath()); }

int TempSndPathExists() { return GetTempSndPath().empty() ? 0 : 1; }

std::string DefaultTempSndPath() {
  std::string cache = os::CacheHome();
  if (cache.empty()) return {};
  std::string folder = cache + "/sonoduct/";
  MakeFolders(folder);
  return folder;
}

std::string MakeTempPath(const std::string& path, bool create) {
  std::string temp = GetTempSndPath();
  if (temp.empty()) return path;
  if (create) MakeFolders(temp);
  std::string out = temp;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string c = path.substr(start, end - start);
    start = end + 1;
    if (c.empty() || c == ".") continue;
    if (c == "..") c = "%2E%2E";
    if (out.back() != '/') {
      out += '/';
      if (create) os::MakeDirectory(out.substr(0, out.size() - 1), kCacheMode);
    }
    out += FitComponent(c);
  }
  return out;
}

void MakeTempPath1(const char* folder, const char* name, char* out, long max, int create) {
  std::string path = std::string(folder != nullptr ? folder : "") + (name != nullptr ? name : "");
  MakeTempPath2(path.c_str(), out, max, create);
}

void MakeTempPath2(const char* path, char* out, long max, int create) {
  if (out == nullptr || max <= 0) return;
  std::string p = path != nullptr ? path : "";
  std::string mapped = MakeTempPath(p, false);
  if (mapped.size() < static_cast<size_t>(max)) {
    if (create) MakeTempPath(p, true);
    CopyWhole(out, max, mapped);
    return;
  }
  std::string temp = GetTempSndPath();
  if (temp.empty()) {  // the path itself, which does not fit
    out[0] = '\0';
    return;
  }
  size_t slash = p.rfind('/');
  std::string name = FitComponent(slash == std::string::npos ? p : p.substr(slash + 1));
  if (name.empty()) name = "tmp" + std::to_string(os::TickCountMs());
  if (temp.size() + name.size() + 8 > static_cast<size_t>(max)) {
    long room = max - 8 - static_cast<long>(temp.size());
    if (room <= 0) {
      out[0] = '\0';
      return;
    }
    size_t drop = name.size() - static_cast<size_t>(room);
    while (drop < name.size() && (static_cast<unsigned char>(name[drop]) & 0xC0) == 0x80)
      ++drop;  // never start inside a character
    name = name.substr(drop);
  }
  if (create) MakeFolders(temp);
  CopyWhole(out, max, temp + name);
}

void GetFileName(const char* path, char* out) {
  if (path == nullptr || out == nullptr) return;
  const char* slash = std::strrchr(path, '/');
  if (slash != nullptr) std::memmove(out, slash + 1, std::strlen(slash + 1) + 1);
}
