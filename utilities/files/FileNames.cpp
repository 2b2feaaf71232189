#include "utilities/files/FileNames.h"

#include <cstring>

namespace {
constexpr const char* kReplaced = "/\\:*?\"<>|";
constexpr const char* kPlain = " $%'-_@~`!()^#&+,;=[].";
}  // namespace

void ValidateFileName(const char* in, char* out, char replacement) {
  if (in == nullptr || out == nullptr) return;
  size_t i = 0;
  for (; in[i] != '\0'; ++i)
    out[i] = std::strchr(kReplaced, in[i]) != nullptr ? replacement : in[i];
  out[i] = '\0';
}

std::string ValidateFileName(const std::string& in, char replacement) {
  std::string out = in;
  for (char& c : out)
    if (c != '\0' && std::strchr(kReplaced, c) != nullptr) c = replacement;
  return out;
}

bool IsValidFileNameChar(char c, bool allowPathChars) {
  if (c == '\0') return false;
  if (allowPathChars && (c == '/' || c == ':')) return true;
  if (std::strchr(kPlain, c) != nullptr) return true;
  unsigned char u = static_cast<unsigned char>(c);
  return u >= 0x80 || (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z');
}
