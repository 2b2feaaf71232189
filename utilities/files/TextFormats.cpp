#include "utilities/files/TextFormats.h"

#include <cstdio>
#include <cstring>

#include "utilities/strings/BoundedCopy.h"

namespace {
bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\n'; }
}  // namespace

bool TrimWhitespace(const char* in, char* out) {
  if (out == nullptr) return false;
  if (in == nullptr) {
    out[0] = '\0';
    return false;
  }
  size_t b = 0, e = std::strlen(in);
  while (b < e && IsTrimmed(in[b])) ++b;
  while (e > b && IsTrimmed(in[e - 1])) --e;
  std::memmove(out, in + b, e - b);
  out[e - b] = '\0';
  return e > b;
}

std::string MakeLengthString(int64_t ms, bool withMs, bool noHours) {
  if (ms < 0) ms = 0;
  long long hours = ms / 3600000;
  int minutes = static_cast<int>((ms % 3600000) / 60000);
  int seconds = static_cast<int>((ms % 60000) / 1000);
  int millis = static_cast<int>(ms % 1000);
  char buf[32];
  if (hours == 0 || noHours) {
    if (withMs)
      std::snprintf(buf, sizeof buf, "%02d:%02d:%03d", minutes, seconds, millis);
    else
      std::snprintf(buf, sizeof buf, "%02d:%02d", minutes, seconds);
  } else if (withMs) {
    std::snprintf(buf, sizeof buf, "%02lld:%02d:%02d:%03d", hours, minutes, seconds, millis);
  } else {
    std::snprintf(buf, sizeof buf, "%02lld:%02d:%02d", hours, minutes, seconds);
  }
  return buf;
}

void MakeLengthString(int64_t ms, char* out, int withMs, int noHours) {
  if (out == nullptr) return;
  std::string s = MakeLengthString(ms, withMs != 0, noHours != 0);
  std::memcpy(out, s.c_str(), s.size() + 1);
}

std::string MakeFileSizeString(uint64_t bytes) {
  char buf[64];
  if (bytes < 1000)
    std::snprintf(buf, sizeof buf, "%llu Bytes", static_cast<unsigned long long>(bytes));
  else if (bytes > 999999)
    std::snprintf(buf, sizeof buf, "%0.2f MB", static_cast<double>(bytes) * 0.000001);
  else
    std::snprintf(buf, sizeof buf, "%llu KB", static_cast<unsigned long long>(bytes / 1000));
  return buf;
}

void MakeFileSizeString(uint64_t bytes, char* out, int size) {
  CopyBounded(out, size, MakeFileSizeString(bytes));
}

char* StrChrPos(char* s, char c, int* index) {
  char* p = s != nullptr && c != '\0' ? std::strchr(s, c) : nullptr;
  if (index != nullptr) *index = p != nullptr ? static_cast<int>(p - s) : -1;
  return p;
}

void MakeUpperCase(char* s) {
  if (s == nullptr) return;
  for (; *s != '\0'; ++s)
    if (*s >= 'a' && *s <= 'z') *s = static_cast<char>(*s - 'a' + 'A');
}
