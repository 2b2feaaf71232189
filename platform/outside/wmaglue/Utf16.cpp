#include "platform/outside/wmaglue/Utf16.h"

#include <cstdint>

namespace wmaglue {

namespace {

void AppendUtf8(std::string* out, uint32_t c) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

void AppendUtf16(std::u16string* out, uint32_t c) {
  if (c < 0x10000) {
    out->push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out->push_back(static_cast<char16_t>(0xD800 | (c >> 10)));
    out->push_back(static_cast<char16_t>(0xDC00 | (c & 0x3FF)));
  }
}

}  // namespace

std::string Utf16ToUtf8(const char16_t* text) {
  if (text == nullptr) return {};
  return Utf16ToUtf8(std::u16string(text));
}

std::string Utf16ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    AppendUtf8(&out, c);
  }
  return out;
}

std::u16string Utf8ToUtf16(const std::string& text) {
  std::u16string out;
  const size_t n = text.size();
  const auto byte = [&](size_t at) { return static_cast<uint8_t>(text[at]); };
  size_t i = 0;
  while (i < n) {
    const uint8_t b = byte(i);
    size_t more = 0;
    uint32_t c = b;
    if ((b >> 5) == 6) {
      more = 1, c = b & 0x1F;
    } else if ((b >> 4) == 14) {
      more = 2, c = b & 0x0F;
    } else if ((b >> 3) == 30) {
      more = 3, c = b & 0x07;
    } else if (b >= 0x80) {
      more = n;  // a stray continuation byte or an invalid lead byte
    }
    bool ok = i + more < n;
    for (size_t k = 1; ok && k <= more; ++k) {
      ok = (byte(i + k) & 0xC0) == 0x80;
      c = (c << 6) | (byte(i + k) & 0x3F);
    }
    if (!ok || c > 0x10FFFF || (c >= 0xD800 && c < 0xE000)) {
      AppendUtf16(&out, 0xFFFD);
      ++i;
      continue;
    }
    AppendUtf16(&out, c);
    i += more + 1;
  }
  return out;
}

bool SameName(const std::u16string& a, const std::u16string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char16_t x = a[i], y = b[i];
    if (x >= u'A' && x <= u'Z') x = static_cast<char16_t>(x + 32);
    if (y >= u'A' && y <= u'Z') y = static_cast<char16_t>(y + 32);
    if (x != y) return false;
  }
  return true;
}

}  // namespace wmaglue
