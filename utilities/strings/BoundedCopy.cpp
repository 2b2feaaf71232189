#include "utilities/strings/BoundedCopy.h"

#include <cstring>

int64_t CopyBounded(char* out, int64_t size, std::string_view text) {
  if (out == nullptr || size <= 0) return 0;
  size_t n = text.size();
  if (n > static_cast<size_t>(size - 1)) {
    n = static_cast<size_t>(size - 1);
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  }
  std::memmove(out, text.data(), n);
  out[n] = '\0';
  return static_cast<int64_t>(n);
}

bool CopyWhole(char* out, int64_t size, std::string_view text) {
  if (out == nullptr || size <= 0) return false;
  if (text.size() >= static_cast<size_t>(size)) {
    out[0] = '\0';
    return false;
  }
  std::memmove(out, text.data(), text.size());
  out[text.size()] = '\0';
  return true;
}

int64_t BoundedLength(const char* s, int64_t max) {
  if (s == nullptr || max <= 0) return 0;
  const void* nul = std::memchr(s, '\0', static_cast<size_t>(max));
  return nul == nullptr ? max : static_cast<const char*>(nul) - s;
}
