#include "platform/os/UserDirectories.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

namespace os {

namespace {

std::string StripTrailingSlashes(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string AbsoluteEnv(const char* name) {
  const char* v = std::getenv(name);
  if (v == nullptr || v[0] != '/') return {};
  return StripTrailingSlashes(v);
}

std::string BelowHome(const char* rest) {
  std::string home = HomeDirectory();
  return home.empty() ? std::string() : (home == "/" ? "" : home) + rest;
}

}  // namespace

std::string HomeDirectory() {
  std::string home = AbsoluteEnv("HOME");
  if (!home.empty()) return home;
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  struct passwd pw;
  struct passwd* found = nullptr;
  if (getpwuid_r(getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/')
    return StripTrailingSlashes(found->pw_dir);
  return {};
}

std::string ConfigHome() {
  std::string v = AbsoluteEnv("XDG_CONFIG_HOME");
  return v.empty() ? BelowHome("/.config") : v;
}

std::string CacheHome() {
  std::string v = AbsoluteEnv("XDG_CACHE_HOME");
  return v.empty() ? BelowHome("/.cache") : v;
}

std::string DataHome() {
  std::string v = AbsoluteEnv("XDG_DATA_HOME");
  return v.empty() ? BelowHome("/.local/share") : v;
}

std::vector<std::string> DataDirectories() {
  std::vector<std::string> dirs;
  const char* v = std::getenv("XDG_DATA_DIRS");
  std::string list = v ? v : "";
  size_t begin = 0;
  while (begin <= list.size()) {
    size_t end = list.find(':', begin);
    if (end == std::string::npos) end = list.size();
    std::string dir = list.substr(begin, end - begin);
    if (!dir.empty() && dir[0] == '/') dirs.push_back(StripTrailingSlashes(dir));
    begin = end + 1;
  }
  if (dirs.empty()) dirs = {"/usr/local/share", "/usr/share"};
  return dirs;
}

std::string XdgUserDirectory(const std::string& name) {
  std::string config = ConfigHome();
  if (config.empty()) return {};
  std::ifstream in(config + "/user-dirs.dirs");
  std::string wanted = "XDG_" + name + "_DIR";
  std::string line;
  while (std::getline(in, line)) {
    size_t b = line.find_first_not_of(" \t");
    if (b == std::string::npos || line[b] == '#') continue;
    size_t eq = line.find('=', b);
    if (eq == std::string::npos || line.substr(b, eq - b) != wanted) continue;
    std::string raw = line.substr(eq + 1);
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == ' ' || raw.back() == '\t'))
      raw.pop_back();
    if (raw.size() < 2 || raw.front() != '"' || raw.back() != '"') return {};
    std::string value;
    for (size_t i = 1; i + 1 < raw.size(); ++i) {
      if (raw[i] == '\\' && i + 2 < raw.size()) ++i;
      value += raw[i];
    }
    std::string home = HomeDirectory();
    if (value.compare(0, 5, "$HOME") == 0 && (value.size() == 5 || value[5] == '/'))
      value = (home == "/" ? "" : home) + value.substr(5);
    if (value.empty() || value[0] != '/') return {};
    value = StripTrailingSlashes(value);
    return value == home ? std::string() : value;
  }
  return {};
}

std::string MusicDirectory() {
  std::string v = XdgUserDirectory("MUSIC");
  return v.empty() ? BelowHome("/Music") : v;
}

std::string DocumentsDirectory() {
  std::string v = XdgUserDirectory("DOCUMENTS");
  return v.empty() ? BelowHome("/Documents") : v;
}

std::string DesktopDirectory() {
  std::string v = XdgUserDirectory("DESKTOP");
  return v.empty() ? BelowHome("/Desktop") : v;
}

}  // namespace os
