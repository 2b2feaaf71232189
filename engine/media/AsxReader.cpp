#include "engine/media/AsxReader.h"

#include <string>

#include "utilities/strings/NoCase.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The five entities XML predefines; anything else stays as written.
std::string DecodeEntities(std::string_view text) {
  static constexpr struct {
    std::string_view name;
    char c;
  } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    bool replaced = false;
    if (text[i] == '&')
      for (const auto& e : kEntities)
        if (text.substr(i, e.name.size()) == e.name) {
          out += e.c;
          i += e.name.size() - 1;
          replaced = true;
          break;
        }
    if (!replaced) out += text[i];
  }
  return out;
}

// One tag: its name and its quoted values in order; at points behind its '>'.
struct Tag {
  std::string_view name;
  std::vector<std::string_view> values;
};

// Reads the tag whose '<' is at text[at]; false at the end of the text.
bool NextTag(std::string_view text, size_t& at, Tag* tag) {
  at = text.find('<', at);
  if (at == std::string_view::npos) return false;
  if (text.substr(at, 4) == "<!--") {
    size_t end = text.find("-->", at + 4);
    at = end == std::string_view::npos ? text.size() : end + 3;
    tag->name = {};
    tag->values.clear();
    return true;
  }
  size_t start = ++at;
  while (at < text.size() && text[at] != '>' && text[at] != ' ' && text[at] != '\t' &&
         text[at] != '\r' && text[at] != '\n' && text.substr(at, 2) != "/>")
    ++at;
  tag->name = text.substr(start, at - start);
  tag->values.clear();
  while (at < text.size() && text[at] != '>') {
    char q = text[at];
    if (q == '"' || q == '\'') {
      size_t close = text.find(q, at + 1);
      if (close == std::string_view::npos) close = text.size();
      tag->values.push_back(text.substr(at + 1, close - at - 1));
      at = close;
    }
    if (at < text.size()) ++at;
  }
  if (at < text.size()) ++at;  // the '>'
  return true;
}

}  // namespace

int32_t ParseAsxDuration(std::string_view text) {
  int64_t runs[9] = {};
  int count = 0;
  int64_t fractionMs = 0;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] == '.') {
      // Tenths, hundredths and thousandths of a second.
      int64_t scale = 100;
      for (++at; at < text.size() && IsDigit(text[at]); ++at, scale /= 10)
        fractionMs += (text[at] - '0') * scale;
      break;
    }
    if (!IsDigit(text[at])) {
      ++at;
      continue;
    }
    int64_t n = 0;
    for (; at < text.size() && IsDigit(text[at]); ++at)
      if (n < (int64_t{1} << 32)) n = n * 10 + (text[at] - '0');
    if (count == 9) {
      for (int i = 1; i < 9; ++i) runs[i - 1] = runs[i];
      --count;
    }
    runs[count++] = n;
  }
  int64_t seconds = count > 0 ? runs[count - 1] : 0;
  int64_t minutes = count > 1 ? runs[count - 2] : 0;
  int64_t hours = count > 2 ? runs[count - 3] : 0;
  int64_t ms = hours * 3600000 + minutes * 60000 + seconds * 1000 + fractionMs;
  return ms > INT32_MAX ? INT32_MAX : static_cast<int32_t>(ms);
}

std::vector<TPlaylistItem> ReadASXEntries(std::string_view text) {
  std::vector<TPlaylistItem> items;
  bool inEntry = false;
  TPlaylistItem item;
  auto finish = [&] {
    if (!item.entry.empty() || !item.title.empty() || !item.artist.empty())
      items.push_back(std::move(item));
    item = TPlaylistItem();
    inEntry = false;
  };
  size_t at = 0;
  Tag tag;
  while (NextTag(text, at, &tag)) {
    if (!inEntry) {
      inEntry = EqualNoCase(tag.name, "Entry");
      continue;
    }
    if (EqualNoCase(tag.name, "/Entry")) {
      finish();
    } else if (EqualNoCase(tag.name, "Ref") && !tag.values.empty()) {
      if (item.entry.empty()) item.entry = DecodeEntities(tag.values[0]);
    } else if (EqualNoCase(tag.name, "Duration") && !tag.values.empty()) {
      item.lengthMs = ParseAsxDuration(tag.values[0]);
    } else if (EqualNoCase(tag.name, "Param") && tag.values.size() >= 2) {
      if (EqualNoCase(tag.values[0], "Name")) item.title = DecodeEntities(tag.values[1]);
      if (EqualNoCase(tag.values[0], "Artist")) item.artist = DecodeEntities(tag.values[1]);
    }
  }
  if (inEntry) finish();
  return items;
}
