// Four-character codes as RIFF stores them: the first character in the lowest
// byte of a little-endian 32-bit word.
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t FourCC(char a, char b, char c, char d) {
  return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
         static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 |
         static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16 |
         static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24;
}

// FourCC("fmt "): exactly four characters.
constexpr uint32_t FourCC(const char (&s)[5]) { return FourCC(s[0], s[1], s[2], s[3]); }

// The four characters of a code, for messages.
inline std::string FourCCToString(uint32_t code) {
  std::string s(4, ' ');
  for (int i = 0; i < 4; ++i) s[i] = static_cast<char>((code >> (8 * i)) & 0xff);
  return s;
}

constexpr uint32_t kFourCCRiff = FourCC("RIFF");
constexpr uint32_t kFourCCList = FourCC("LIST");
