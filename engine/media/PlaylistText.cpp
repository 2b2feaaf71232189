#include "engine/media/PlaylistText.h"

#include <cstdint>

#include "utilities/strings/Utf8.h"
#include "utilities/strings/Windows1252.h"

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string Utf16ToText(std::string_view bytes, bool bigEndian) {
  std::string out;
  out.reserve(bytes.size());
  auto unit = [&](size_t at) -> uint32_t {
    auto b0 = static_cast<unsigned char>(bytes[at]), b1 = static_cast<unsigned char>(bytes[at + 1]);
    return bigEndian ? (b0 << 8 | b1) : (b1 << 8 | b0);
  };
  for (size_t at = 0; at + 1 < bytes.size(); at += 2) {
    uint32_t u = unit(at);
    if (u >= 0xD800 && u < 0xDC00 && at + 3 < bytes.size()) {
      uint32_t low = unit(at + 2);
      if (low >= 0xDC00 && low < 0xE000) {
        AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        at += 2;
        continue;
      }
    }
    AppendUtf8(out, u >= 0xD800 && u < 0xE000 ? 0xFFFD : u);
  }
  return out;
}

}  // namespace

std::string DecodePlaylistText(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (bytes.starts_with("\xFF\xFE")) return Utf16ToText(bytes.substr(2), false);
  if (bytes.starts_with("\xFE\xFF")) return Utf16ToText(bytes.substr(2), true);
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    size_t end = bytes.find_first_of("\r\n");
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    std::string_view line = bytes.substr(0, end);
    if (IsValidUtf8(line))
      out += line;
    else
      out += Windows1252ToUtf8(line);
    bytes.remove_prefix(end);
  }
  return out;
}

std::vector<std::string_view> SplitPlaylistLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    size_t end = text.find_first_of("\r\n", at);
    if (end == std::string_view::npos) end = text.size();
    if (end > at) lines.push_back(text.substr(at, end - at));
    at = end;
  }
  return lines;
}
