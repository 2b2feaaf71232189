#include "platform/paths/Paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "platform/LastError.h"

namespace {

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Position of the extension's dot in the last component, or npos.
size_t ExtensionDot(const std::string& path) {
  size_t nameStart = path.rfind('/');
  nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot <= nameStart)
    return std::string::npos;  // none, or a dot file
  return dot;
}

std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    if (j > i) parts.push_back(path.substr(i, j - i));
    i = j + 1;
  }
  return parts;
}

std::string Join(const std::vector<std::string>& parts, bool absolute) {
  std::string out = absolute ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) out += '/';
    out += parts[i];
  }
  return out;
}

}  // namespace

std::string ExtractDirectory(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void RemoveExtensionFromFile(std::string& name) {
  size_t dot = ExtensionDot(name);
  if (dot != std::string::npos) name.erase(dot + 1);
}

int HasFileExtension(const std::string& path, const std::string& ext) {
  std::string want = !ext.empty() && ext[0] == '.' ? ext.substr(1) : ext;
  size_t dot = ExtensionDot(path);
  if (want.empty() || dot == std::string::npos || path.size() - dot - 1 != want.size()) return 0;
  for (size_t i = 0; i < want.size(); ++i)
    if (LowerAscii(path[dot + 1 + i]) != LowerAscii(want[i])) return 0;
  return 1;
}

int DoesFileExist(const std::string& path) {
  struct stat st;
  return !path.empty() && stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

int IsRelativePath(const std::string& path) { return path.empty() || path[0] != '/'; }

std::string NormalizePath(const std::string& path) {
  if (path.empty()) return path;
  bool absolute = path[0] == '/';
  std::vector<std::string> out;
  for (auto& part : Components(path)) {
    if (part == ".") continue;
    if (part == "..") {
      if (!out.empty() && out.back() != "..")
        out.pop_back();
      else if (!absolute)
        out.push_back(part);
      continue;
    }
    out.push_back(part);
  }
  std::string result = Join(out, absolute);
  if (result.empty()) return ".";
  if (path.back() == '/' && result.back() != '/') result += '/';
  return result;
}

std::string MakeAbsolute(const std::string& path) {
  if (!IsRelativePath(path)) return NormalizePath(path);
  std::vector<char> buf(4096);
  while (getcwd(buf.data(), buf.size()) == nullptr) {
    if (errno != ERANGE || buf.size() > (1u << 20)) {
      SetLastError(errno);
      return std::string();
    }
    buf.resize(buf.size() * 2);
  }
  return NormalizePath(std::string(buf.data()) + "/" + path);
}

std::string RelativeToAbsolute(const std::string& rel, const std::string& baseDir) {
  if (!IsRelativePath(rel)) return NormalizePath(rel);
  std::string base = MakeAbsolute(baseDir.empty() ? std::string(".") : baseDir);
  if (base.empty()) return base;
  return NormalizePath(base + "/" + rel);
}

std::string AbsoluteToRelative(const std::string& abs, const std::string& baseDir) {
  std::string target = MakeAbsolute(abs);
  std::string base = MakeAbsolute(baseDir.empty() ? std::string(".") : baseDir);
  if (target.empty() || base.empty()) return std::string();
  std::vector<std::string> t = Components(target), b = Components(base);
  size_t common = 0;
  while (common < t.size() && common < b.size() && t[common] == b[common]) ++common;
  std::vector<std::string> out(b.size() - common, "..");
  out.insert(out.end(), t.begin() + static_cast<std::ptrdiff_t>(common), t.end());
  std::string result = Join(out, false);
  if (result.empty()) return ".";
  if (target.back() == '/' && target != "/") result += '/';
  return result;
}

int HasSameDrive(const std::string& a, const std::string& b) {
  auto device = [](const std::string& path, dev_t* dev) {
    std::string p = MakeAbsolute(path);
    if (p.empty()) return false;
    for (;;) {
      struct stat st;
      if (stat(p.c_str(), &st) == 0) {
        *dev = st.st_dev;
        return true;
      }
      if (p == "/") return false;
      // Up one level: drop a trailing '/', then the last component.
      if (p.size() > 1 && p.back() == '/') p.pop_back();
      p = ExtractDirectory(p);
      if (p.empty()) return false;
    }
  };
  dev_t da, db;
  return device(a, &da) && device(b, &db) && da == db;
}

int SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (a.empty() || b.empty() || stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) return 0;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}
