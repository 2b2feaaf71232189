#include <gtest/gtest.h>

#include <string>

#include "utilities/strings/Utf8.h"

namespace {

// Sequences that RFC 3629 does not allow.
const char* const kInvalid[] = {
    "\x80",              // a lone continuation byte
    "\xC3",              // a lead byte alone
    "\xE2\x82",          // cut short
    "\xC3\x41",          // a broken continuation
    "\xC0\xAF",          // '/' overlong in two bytes
    "\xC1\xBF",          // U+007F overlong in two bytes
    "\xE0\x80\xAF",      // '/' overlong in three bytes
    "\xF0\x80\x80\xAF",  // '/' overlong in four bytes
    "\xED\xA0\x80",      // a surrogate
    "\xF4\x90\x80\x80",  // past U+10FFFF
    "\xF5\x80\x80\x80",  // a lead byte past F4
    "\xFF",              // a byte UTF-8 never uses
};

TEST(Utf8, EveryLatin1ByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string utf8 = Latin1ToUtf8(all);
  EXPECT_EQ(utf8.size(), 128u + 2 * 128u);  // NUL included, 0x80-0xFF take two bytes
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(Utf8ToLatin1(utf8), all);
  EXPECT_EQ(Latin1ToUtf8("\x80\xE9\xFF"), "\xC2\x80\xC3\xA9\xC3\xBF");
  EXPECT_EQ(Latin1ToUtf8(""), "");
  EXPECT_EQ(Utf8ToLatin1(""), "");
  EXPECT_TRUE(IsValidUtf8(""));
}

TEST(Utf8, CharactersBeyondLatin1BecomeOneQuestionMarkEach) {
  // U+0100, the euro sign, the largest BMP character, U+1F3B5 and U+10FFFF.
  EXPECT_EQ(Utf8ToLatin1("a\xC4\x80\xE2\x82\xAC\xEF\xBF\xBF\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBFz"),
            "a?????z");
  EXPECT_TRUE(IsValidUtf8("\xC4\x80\xE2\x82\xAC\xEF\xBF\xBF\xF0\x9F\x8E\xB5\xF4\x8F\xBF\xBF"));
}

TEST(Utf8, InvalidSequencesAreLatin1BytesOneByOne) {
  for (const char* bad : kInvalid) {
    std::string text = std::string("<") + bad + ">";
    SCOPED_TRACE(text);
    EXPECT_FALSE(IsValidUtf8(text));
    // Back to ISO-8859-1 every byte stays what it is; a following valid
    // character is still read as one.
    EXPECT_EQ(Utf8ToLatin1(text + "\xC3\xA9"), text + "\xE9");
    size_t at = 1;
    EXPECT_EQ(NextCodePoint(text, &at), static_cast<unsigned char>(bad[0]));
    EXPECT_EQ(at, 2u);
  }
}

TEST(Utf8, CodePointsAppendAndReadBack) {
  for (uint32_t cp :
       {0x0u, 0x7Fu, 0x80u, 0x7FFu, 0x800u, 0xD7FFu, 0xE000u, 0xFFFFu, 0x10000u, 0x10FFFFu}) {
    std::string s = "x";
    AppendUtf8(s, cp);
    size_t at = 1;
    EXPECT_EQ(NextCodePoint(s, &at), cp);
    EXPECT_EQ(at, s.size());
    EXPECT_TRUE(IsValidUtf8(s));
  }
}

}  // namespace
