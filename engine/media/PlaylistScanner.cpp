#include "engine/media/PlaylistScanner.h"

#include "engine/media/PlaylistEntry.h"
#include "utilities/files/FileNames.h"

namespace {

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// The length of the sound file extension at text[at], 0 when there is none.
// ".ra" counts only when a NUL ends it, as lists of fixed fields store it.
size_t ExtensionAt(std::string_view text, size_t at) {
  static constexpr std::string_view kExtensions[] = {".wav", ".mp3", ".mp2", ".mp1", ".mpg",
                                                     ".wma", ".asf", ".ogg", ".ra\0"};
  if (text.size() - at < 4) return 0;
  for (std::string_view ext : kExtensions) {
    bool same = true;
    for (size_t i = 0; i < 4 && same; ++i) same = Lower(text[at + i]) == ext[i];
    if (same) return ext[3] == '\0' ? 3 : 4;
  }
  return 0;
}

bool IsRoot(std::string_view text, size_t at) {
  if (text[at] != '/' || at + 1 >= text.size() || !IsValidFileNameChar(text[at + 1], false))
    return false;
  return at == 0 || !IsValidFileNameChar(text[at - 1], true);
}

}  // namespace

void ScanForSoundPaths(std::string_view bytes, int charWidth,
                       const std::function<bool(const std::string&)>& take) {
  std::string narrow;
  if (charWidth == 2) {
    narrow.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) narrow += bytes[i];
    bytes = narrow;
  }
  size_t at = 0;
  while (at + 3 <= bytes.size()) {
    if (!IsRoot(bytes, at)) {
      ++at;
      continue;
    }
    size_t next = at + 1;
    for (size_t p = at + 1; p < bytes.size() && p - at <= kPlaylistMaxPath; ++p) {
      if (size_t ext = ExtensionAt(bytes, p)) {
        if (take(std::string(bytes.substr(at, p + ext - at)))) next = p + ext;
        break;
      }
      if (!IsValidFileNameChar(bytes[p], true)) break;
    }
    at = next;
  }
}
