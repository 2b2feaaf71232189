#include "engine/media/IniPlaylistReaders.h"

#include <map>
#include <string>

#include "platform/ini/IniFile.h"
#include "utilities/strings/NoCase.h"

namespace {

const CIniFile::Section* FindSection(const CIniFile& ini, std::string_view name) {
  for (const auto& section : ini.Sections())
    if (EqualNoCase(section.name, name)) return &section;
  return nullptr;
}

// The keys "File<n>" of a section by n, as "File%d" writes n: decimal
// without leading zeros. The first occurrence of a key wins.
std::map<int64_t, std::string> FileKeys(const CIniFile::Section& section) {
  std::map<int64_t, std::string> keys;
  for (const auto& e : section.entries) {
    if (e.key.size() < 5 || e.key.size() > 14 || !EqualNoCase(e.key.substr(0, 4), "file")) continue;
    std::string_view digits = std::string_view(e.key).substr(4);
    if (digits.size() > 1 && digits[0] == '0') continue;
    int64_t n = 0;
    bool ok = true;
    for (char c : digits) {
      if (c < '0' || c > '9') ok = false;
      n = n * 10 + (c - '0');
    }
    if (ok) keys.emplace(n, e.value);
  }
  return keys;
}

// The value's leading decimal number, as GetPrivateProfileInt reads it.
int64_t LeadingNumber(const std::string& value) {
  size_t at = 0;
  bool negative = false;
  if (at < value.size() && (value[at] == '-' || value[at] == '+')) negative = value[at++] == '-';
  int64_t n = 0;
  for (; at < value.size() && value[at] >= '0' && value[at] <= '9' && n < (int64_t{1} << 40); ++at)
    n = n * 10 + (value[at] - '0');
  return negative ? -n : n;
}

}  // namespace

TIniPlaylistResult ReadPLSEntries(std::string_view text, std::vector<TPlaylistItem>* items) {
  CIniFile ini = CIniFile::Parse(std::string(text));
  const CIniFile::Section* section = FindSection(ini, "playlist");
  if (!section) return TIniPlaylistResult::kNoEntries;
  int64_t count = 0;
  for (const auto& e : section->entries)
    if (EqualNoCase(e.key, "NumberOfEntries")) {
      count = LeadingNumber(e.value);
      break;
    }
  if (count <= 0) return TIniPlaylistResult::kNoEntries;
  for (const auto& [n, value] : FileKeys(*section)) {
    if (n > count) break;
    if (n >= 1 && !value.empty()) items->push_back({value, {}, {}, 0});
  }
  return TIniPlaylistResult::kRead;
}

TIniPlaylistResult ReadIniListEntries(std::string_view text, std::vector<TPlaylistItem>* items) {
  CIniFile ini = CIniFile::Parse(std::string(text));
  const CIniFile::Section* section = FindSection(ini, "Files");
  if (!section) return TIniPlaylistResult::kNoEntries;
  std::map<int64_t, std::string> keys = FileKeys(*section);
  int64_t next = 0;
  for (const auto& [n, value] : keys) {
    if (n != next) break;
    items->push_back({value, {}, {}, 0});
    ++next;
  }
  return next == 0 ? TIniPlaylistResult::kNoEntries : TIniPlaylistResult::kRead;
}
