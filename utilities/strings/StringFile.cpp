#include "utilities/strings/StringFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>

#include "platform/ini/IniFile.h"
#include "utilities/strings/BoundedCopy.h"

namespace {

constexpr const char* kSection = "Strings";

std::mutex& FileLock() {
  static std::mutex m;
  return m;
}
std::string& CurrentFile() {
  static std::string path;
  return path;
}

// The text for key: the file's value, or the key itself when the file or the
// key is missing.
std::string Lookup(const char* key, const char* file) {
  std::string path = file != nullptr ? std::string(file) : GetStringFile();
  std::string value;
  if (!path.empty() && IniLookup(path, kSection, key, &value)) return value;
  return key;
}

// Replaces every occurrence of from by to, from left to right.
void ReplaceAll(std::string& s, const char* from, const char* to) {
  size_t fromLen = std::strlen(from), toLen = std::strlen(to);
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + toLen))
    s.replace(pos, fromLen, to);
}

void LineFeedEscapes(std::string& s) {
  ReplaceAll(s, "\\r\\n", "\n");
  ReplaceAll(s, "\\n", "\n");
}

}  // namespace

void SetStringFile(const char* path) {
  std::lock_guard<std::mutex> lock(FileLock());
  CurrentFile() = path != nullptr ? path : "";
}

void SetLanguageFile(const char* path) { SetStringFile(path); }

std::string GetStringFile() {
  std::lock_guard<std::mutex> lock(FileLock());
  return CurrentFile();
}

int MyLoadString(const char* key, char* out, int size, const char* file) {
  if (out == nullptr || size <= 0) return 0;
  if (key == nullptr) {
    out[0] = '\0';
    return 0;
  }
  // The text is cut to the buffer before the escapes are handled, as the
  // lookup into the caller's buffer would.
  char* end = out + CopyBounded(out, size, Lookup(key, file));
  std::string text(out, end);
  LineFeedEscapes(text);
  CopyBounded(out, size, text);
  return out[0] != '\0' ? 1 : 0;
}

int LoadLanguageString(const char* key, char* out, unsigned long size) {
  if (key == nullptr || out == nullptr || size == 0) return 0;
  int64_t n = CopyBounded(out, static_cast<int64_t>(std::min<unsigned long>(size, INT64_MAX)),
                          Lookup(key, nullptr));
  return n > 0 ? 1 : 0;
}

int LoadLanguageStringFormatted(const char* key, char* out, unsigned long size) {
  if (key == nullptr || out == nullptr || size == 0) return 0;
  int64_t n = CopyBounded(out, static_cast<int64_t>(std::min<unsigned long>(size, INT64_MAX)),
                          Lookup(key, nullptr));
  // In place: "\n" becomes CR LF (same length), "\t" becomes a tab and the
  // rest moves one place left.
  for (int64_t i = 0; i + 1 < n; ++i) {
    if (out[i] != '\\') continue;
    if (out[i + 1] == 'n') {
      out[i] = '\r';
      out[i + 1] = '\n';
      ++i;
    } else if (out[i + 1] == 't') {
      out[i] = '\t';
      std::memmove(out + i + 1, out + i + 2, static_cast<size_t>(n - i - 1));
      --n;
    }
  }
  return n > 0 ? 1 : 0;
}

void ParseCarriageReturns(const char* in, char* out, long size) {
  if (in == nullptr || out == nullptr || size <= 0) return;
  long w = 0;
  for (long r = 0; in[r] != '\0' && w < size - 1; ++r) {
    if (in[r] == '\\' && (in[r + 1] == 'r' || in[r + 1] == 'n')) {
      out[w++] = '\r';
      ++r;
    } else {
      out[w++] = in[r];
    }
  }
  out[w] = '\0';
}

std::string LoadKeyedString(const char* key, const char* file) {
  if (key == nullptr) return {};
  std::string text = Lookup(key, file);
  LineFeedEscapes(text);
  return text;
}
