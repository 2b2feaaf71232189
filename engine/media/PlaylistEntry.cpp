#include "engine/media/PlaylistEntry.h"

#include <algorithm>

#include "platform/os/FileStatus.h"
#include "platform/paths/Paths.h"
#include "utilities/strings/NoCase.h"

namespace {

bool IsAsciiAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The length of an address scheme at the start of entry ("http" of
// "http://..."), 0 when there is none. A scheme has at least two characters,
// so "C:" stays a drive letter, and but for "file:" it must be followed by
// "//", so a name such as "live: take 2.mp3" stays a name.
size_t SchemeLength(const std::string& entry) {
  if (entry.empty() || !IsAsciiAlpha(entry[0])) return 0;
  size_t n = 1;
  while (n < entry.size() && (IsAsciiAlpha(entry[n]) || (entry[n] >= '0' && entry[n] <= '9') ||
                              entry[n] == '+' || entry[n] == '-' || entry[n] == '.'))
    ++n;
  if (n < 2 || n >= entry.size() || entry[n] != ':') return 0;
  return entry.compare(n, 3, "://") == 0 || EqualNoCase(entry.substr(0, n), "file") ? n : 0;
}

bool IsDriveOrShare(const std::string& entry) {
  if (entry.size() >= 3 && IsAsciiAlpha(entry[0]) && entry[1] == ':' &&
      (entry[2] == '\\' || entry[2] == '/'))
    return true;
  return entry.starts_with("\\\\");
}

TPlaylistEntryPath Refused(TPlaylistEntryProblem problem, std::string path = std::string()) {
  return {std::move(path), problem};
}

// A local path, checked on the file system.
TPlaylistEntryPath Examine(const std::string& path) {
  if (path.size() > kPlaylistMaxPath) return Refused(PLAYLIST_ENTRY_TOO_LONG);
  if (os::IsRegularFile(path)) return {path, PLAYLIST_ENTRY_OK};
  return Refused(os::PathExists(path) ? PLAYLIST_ENTRY_NOT_REGULAR : PLAYLIST_ENTRY_MISSING, path);
}

// "file:///a/b", "file://localhost/a/b" and "file:/a/b" name "/a/b"; a
// file address of another host is remote.
TPlaylistEntryPath FileAddress(const std::string& entry) {
  std::string rest = entry.substr(5);
  if (rest.starts_with("//")) {
    size_t slash = rest.find('/', 2);
    std::string host = rest.substr(2, slash == std::string::npos ? std::string::npos : slash - 2);
    if (!host.empty() && !EqualNoCase(host, "localhost")) return Refused(PLAYLIST_ENTRY_REMOTE);
    rest = slash == std::string::npos ? std::string("/") : rest.substr(slash);
  }
  std::string path = PercentDecode(rest);
  if (path.find('\0') != std::string::npos) return Refused(PLAYLIST_ENTRY_BAD_NAME);
  if (path.empty() || path[0] != '/') return Refused(PLAYLIST_ENTRY_MISSING);
  // "file:///C:/Music/a.mp3" names a Windows drive.
  if (IsDriveOrShare(path.substr(1))) return Refused(PLAYLIST_ENTRY_MISSING, path.substr(1));
  return Examine(NormalizePath(path));
}

std::string WithTrailingSlash(const std::string& dir) {
  return dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

}  // namespace

std::string PercentDecode(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    int hi, lo;
    if (text[i] == '%' && i + 2 < text.size() && (hi = HexValue(text[i + 1])) >= 0 &&
        (lo = HexValue(text[i + 2])) >= 0) {
      out += static_cast<char>(hi << 4 | lo);
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

TPlaylistEntryPath ResolvePlaylistEntry(const std::string& entry, const std::string& playlistDir) {
  if (entry.empty()) return Refused(PLAYLIST_ENTRY_MISSING);
  if (entry.size() > kPlaylistMaxPath) return Refused(PLAYLIST_ENTRY_TOO_LONG);
  if (entry.find('\0') != std::string::npos) return Refused(PLAYLIST_ENTRY_BAD_NAME);
  if (size_t scheme = SchemeLength(entry)) {
    if (EqualNoCase(entry.substr(0, scheme), "file")) return FileAddress(entry);
    return Refused(PLAYLIST_ENTRY_REMOTE);
  }
  if (IsDriveOrShare(entry)) return Refused(PLAYLIST_ENTRY_MISSING, entry);
  std::string written = entry[0] == '/' ? entry : WithTrailingSlash(playlistDir) + entry;
  TPlaylistEntryPath found = Examine(NormalizePath(written));
  if (found.problem != PLAYLIST_ENTRY_MISSING || entry.find('\\') == std::string::npos)
    return found;
  // Written on Windows: "music\a.mp3", or "\music\a.mp3" below the playlist's folder.
  std::string slashed = entry;
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  if (entry[0] != '/') {
    slashed.erase(0, std::min(slashed.find_first_not_of('/'), slashed.size()));
    slashed = WithTrailingSlash(playlistDir) + slashed;
  }
  TPlaylistEntryPath again = Examine(NormalizePath(slashed));
  return again.problem == PLAYLIST_ENTRY_OK ? again : found;
}
