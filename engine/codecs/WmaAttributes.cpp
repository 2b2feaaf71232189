#include "engine/codecs/WmaAttributes.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/media/Id3Tag.h"
#include "engine/media/MusicInfo.h"
#include "engine/media/TagType.h"
#include "platform/data/ByteOrder.h"
#include "platform/outside/WindowsMedia.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/Utf8.h"

namespace {

// Music information is short; a larger value (a picture, say) is not read.
constexpr uint16_t kMaxValueBytes = 4096;
constexpr uint16_t kMaxNameUnits = 256;

bool SameName(const std::u16string& a, const char16_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char16_t x = a[i], y = b[i];
    if (x < 128) x = static_cast<char16_t>(std::tolower(x));
    if (y < 128) y = static_cast<char16_t>(std::tolower(y));
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

// One attribute's value as text: strings by their length, numbers in decimal.
std::string ValueText(WMT_ATTR_DATATYPE type, const std::vector<uint8_t>& v) {
  switch (type) {
    case WMT_TYPE_STRING: {
      std::u16string units(v.size() / 2, u'\0');
      for (size_t i = 0; i < units.size(); ++i) units[i] = LoadLE16(v.data() + 2 * i);
      return Utf16ToUtf8(units);
    }
    case WMT_TYPE_DWORD:
    case WMT_TYPE_BOOL:
      return v.size() >= 4 ? std::to_string(LoadLE32(v.data())) : "";
    case WMT_TYPE_QWORD:
      return v.size() >= 8 ? std::to_string(LoadLE64(v.data())) : "";
    case WMT_TYPE_WORD:
      return v.size() >= 2 ? std::to_string(LoadLE16(v.data())) : "";
    default:
      return "";
  }
}

uint64_t ValueNumber(WMT_ATTR_DATATYPE type, const std::vector<uint8_t>& v) {
  if (type == WMT_TYPE_STRING) return std::strtoull(ValueText(type, v).c_str(), nullptr, 10);
  if (type == WMT_TYPE_QWORD && v.size() >= 8) return LoadLE64(v.data());
  if ((type == WMT_TYPE_DWORD || type == WMT_TYPE_BOOL) && v.size() >= 4) return LoadLE32(v.data());
  if (type == WMT_TYPE_WORD && v.size() >= 2) return LoadLE16(v.data());
  return 0;
}

int InRange(long n, long low, long high, int otherwise) {
  return n >= low && n <= high ? static_cast<int>(n) : otherwise;
}

// "N" or "N/M".
void SetTrack(TMusicInfo* info, const std::string& text) {
  char* end = nullptr;
  const long n = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str()) return;
  info->trackNumber = InRange(n, 1, 99, -1);
  info->totalTracks = *end == '/' ? InRange(std::strtol(end + 1, nullptr, 10), 1, 99, -1) : -1;
}

void SetText(char* field, size_t size, const std::string& text) { CopyBounded(field, size, text); }

}  // namespace

void SetGenreFromText(TMusicInfo* info, const char* text) {
  if (!info || !text) return;
  const size_t len = std::strlen(text);
  if (len >= 3 && len <= 5 && text[0] == '(' && text[len - 1] == ')') {
    bool digits = true;
    for (size_t i = 1; i + 1 < len; ++i) digits = digits && std::isdigit(text[i]);
    const long n = digits ? std::strtol(text + 1, nullptr, 10) : 255;
    if (digits && n < 255) {
      CopyBounded(info->genre, sizeof info->genre, text);
      info->genreIndex = static_cast<int32_t>(n);
      return;
    }
  }
  CopyBounded(info->genre, sizeof info->genre, text);
  char name[CId3Tag::kGenreTextSize];
  CopyBounded(name, sizeof name, text);
  CId3Tag tag;
  tag.genreString(name, 0);
  if (tag.getGenreIndex() != CId3Tag::kNoGenre) {
    info->genreIndex = tag.getGenreIndex();
    std::snprintf(info->genre, sizeof info->genre, "(%d)", info->genreIndex);
  }
}

bool ReadWmaAttributes(IWMHeaderInfo* header, TWmaStreamInfo* stream, TMusicInfo* info) {
  uint16_t count = 0;
  if (!header || WmFailed(header->GetAttributeCount(0, &count))) return false;
  std::vector<uint8_t> value;
  std::u16string name;
  for (uint16_t i = 0; i < count; ++i) {
    uint16_t streamNumber = 0, nameUnits = 0, valueBytes = 0;
    WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
    if (WmFailed(header->GetAttributeByIndex(i, &streamNumber, nullptr, &nameUnits, &type, nullptr,
                                             &valueBytes)) ||
        nameUnits == 0 || nameUnits > kMaxNameUnits || valueBytes > kMaxValueBytes)
      continue;
    name.assign(nameUnits, u'\0');
    value.assign(valueBytes, 0);
    if (WmFailed(header->GetAttributeByIndex(i, &streamNumber, name.data(), &nameUnits, &type,
                                             value.data(), &valueBytes)))
      continue;
    name.resize(std::min<size_t>(nameUnits, name.size()));
    while (!name.empty() && name.back() == u'\0') name.pop_back();
    value.resize(std::min<size_t>(valueBytes, value.size()));

    if (SameName(name, kWmaAttrDuration)) {
      if (stream) stream->duration = ValueNumber(type, value);
      continue;
    }
    if (SameName(name, kWmaAttrBitrate)) {
      if (stream) stream->bitRate = static_cast<uint32_t>(ValueNumber(type, value));
      continue;
    }
    if (!info) continue;
    bool used = true;
    if (SameName(name, kWmaAttrTitle))
      SetText(info->title, sizeof info->title, ValueText(type, value));
    else if (SameName(name, kWmaAttrAuthor))
      SetText(info->artist, sizeof info->artist, ValueText(type, value));
    else if (SameName(name, kWmaAttrAlbum))
      SetText(info->album, sizeof info->album, ValueText(type, value));
    else if (SameName(name, kWmaAttrDescription))
      SetText(info->comment, sizeof info->comment, ValueText(type, value));
    else if (SameName(name, kWmaAttrCopyright))
      SetText(info->copyright, sizeof info->copyright, ValueText(type, value));
    else if (SameName(name, kWmaAttrMcdi) && type == WMT_TYPE_BINARY &&
             value.size() <= sizeof info->mcdi) {
      std::memcpy(info->mcdi, value.data(), value.size());
      info->mcdiLength = static_cast<int32_t>(value.size());
    } else if (SameName(name, kWmaAttrTrack) && type == WMT_TYPE_STRING) {
      SetTrack(info, ValueText(type, value));
    } else if (SameName(name, kWmaAttrTrack)) {
      // A numeric "WM/Track" counts from 0.
      info->trackNumber = InRange(static_cast<long>(ValueNumber(type, value)) + 1, 1, 99, -1);
    } else if (SameName(name, kWmaAttrTrackNumber)) {
      if (type == WMT_TYPE_STRING)
        SetTrack(info, ValueText(type, value));
      else
        info->trackNumber = InRange(static_cast<long>(ValueNumber(type, value)), 1, 99, -1);
    } else if (SameName(name, kWmaAttrYear) || SameName(name, kWmaAttrDate)) {
      const long year = std::strtol(ValueText(type, value).c_str(), nullptr, 10);
      info->year = InRange(year, 1000, 3000, 0);
    } else if (SameName(name, kWmaAttrGenre)) {
      SetGenreFromText(info, ValueText(type, value).c_str());
    } else {
      used = false;
    }
    if (used) info->tagType = TAG_WMA_ATTRIBUTES;
  }
  return true;
}
