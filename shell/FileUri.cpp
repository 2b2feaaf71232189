#include "shell/FileUri.h"

namespace shell {

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

bool PathFromFileUri(const std::string& uri, std::string* path) {
  const std::string scheme = "file://";
  if (uri.size() < scheme.size()) return false;
  for (size_t i = 0; i < scheme.size(); ++i) {
    char c = uri[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != scheme[i]) return false;
  }
  size_t at = scheme.size();
  if (uri.compare(at, 9, "localhost") == 0) at += 9;
  if (at >= uri.size() || uri[at] != '/') return false;
  std::string out;
  for (size_t i = at; i < uri.size(); ++i) {
    if (uri[i] != '%') {
      out += uri[i];
      continue;
    }
    int hi = i + 1 < uri.size() ? HexValue(uri[i + 1]) : -1;
    int lo = i + 2 < uri.size() ? HexValue(uri[i + 2]) : -1;
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  // A NUL can't be part of a path.
  if (out.find('\0') != std::string::npos) return false;
  *path = out;
  return true;
}

}  // namespace shell
