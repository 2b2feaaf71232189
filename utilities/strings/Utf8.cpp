#include "utilities/strings/Utf8.h"

namespace {

// The length of the valid UTF-8 sequence at text[at] and its code point, or 0.
size_t ValidSequence(std::string_view text, size_t at, uint32_t* cp) {
  auto b = static_cast<unsigned char>(text[at]);
  if (b < 0x80) {
    *cp = b;
    return 1;
  }
  size_t len = (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
  if (len == 0 || at + len > text.size()) return 0;
  uint32_t v = len == 2 ? (b & 0x1fu) : len == 3 ? (b & 0x0fu) : (b & 0x07u);
  for (size_t k = 1; k < len; ++k) {
    auto c = static_cast<unsigned char>(text[at + k]);
    if ((c & 0xc0) != 0x80) return 0;
    v = (v << 6) | (c & 0x3fu);
  }
  if ((len == 2 && v < 0x80) || (len == 3 && v < 0x800) || (len == 4 && v < 0x10000) ||
      (v >= 0xd800 && v <= 0xdfff) || v > 0x10ffff)
    return 0;
  *cp = v;
  return len;
}

}  // namespace

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xc0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xe0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  } else {
    out += static_cast<char>(0xf0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3f));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3f));
    out += static_cast<char>(0x80 | (cp & 0x3f));
  }
}

uint32_t NextCodePoint(std::string_view text, size_t* at) {
  uint32_t cp = 0;
  size_t len = ValidSequence(text, *at, &cp);
  if (len == 0) {
    cp = static_cast<unsigned char>(text[*at]);
    len = 1;
  }
  *at += len;
  return cp;
}

bool IsValidUtf8(std::string_view text) {
  uint32_t cp;
  for (size_t at = 0; at < text.size();) {
    size_t len = ValidSequence(text, at, &cp);
    if (len == 0) return false;
    at += len;
  }
  return true;
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) AppendUtf8(out, static_cast<unsigned char>(c));
  return out;
}

std::string Utf8ToLatin1(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    uint32_t cp = NextCodePoint(text, &at);
    out += cp <= 0xff ? static_cast<char>(cp) : '?';
  }
  return out;
}

void AppendUtf16(std::u16string& out, uint32_t cp) {
  if (cp >= 0x10000 && cp <= 0x10FFFF) {
    out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(cp <= 0xFFFF ? cp : 0xFFFD));
  }
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) AppendUtf16(out, NextCodePoint(text, &i));
  return out;
}

std::u16string Utf8ToUtf16Replacing(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (size_t at = 0; at < text.size();) {
    uint32_t cp = 0;
    size_t len = ValidSequence(text, at, &cp);
    AppendUtf16(out, len == 0 ? 0xFFFD : cp);
    at += len == 0 ? 1 : len;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t u = units[i];
    if (u == 0) break;
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      u = 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      u = 0xFFFD;
    }
    AppendUtf8(out, u);
  }
  return out;
}
