#include <gtest/gtest.h>

#include <string>

#include "utilities/strings/COMString.h"

namespace {

std::string Text(const CCOMString& s) { return s.GetString(); }

}  // namespace

TEST(COMString, RoundTripsBetweenUtf16AndUtf8) {
  const struct {
    const char* utf8;
    std::u16string utf16;
  } cases[] = {
      {"plain ASCII", u"plain ASCII"},
      {"Café crème, Ärger, Øre", u"Café crème, Ärger, Øre"},
      {"音楽ファイル変換", u"音楽ファイル変換"},
      {"\xF0\x9F\x8E\xB5 \xF0\x9D\x84\x9E", u"\U0001F3B5 \U0001D11E"},  // astral plane
      {"", u""},
  };
  for (const auto& c : cases) {
    CCOMString fromWide(c.utf16);
    EXPECT_EQ(Text(fromWide), c.utf8);
    EXPECT_EQ(CCOMString(c.utf16.c_str()), c.utf8);
    EXPECT_EQ(CCOMString(c.utf8).ToUtf16(), c.utf16);
    char16_t* sys = CCOMString(c.utf8).AllocSysString();
    ASSERT_NE(sys, nullptr);
    EXPECT_EQ(std::u16string(sys), c.utf16);
    CCOMString::FreeSysString(sys);
  }
  EXPECT_EQ(CCOMString(static_cast<const char16_t*>(nullptr)), "");
  CCOMString joined = CCOMString("a") + u"é" + CCOMString("b");
  joined += u"\U0001F3B5";
  EXPECT_EQ(Text(u"<" + joined), "<aéb\xF0\x9F\x8E\xB5");
}

TEST(COMString, InvalidTextIsReplacedNeverCutOrOverread) {
  // UTF-8 to UTF-16: each stray byte, overlong form, surrogate and a sequence
  // cut off at the end becomes one U+FFFD; what follows survives.
  EXPECT_EQ(CCOMString("a\xFF"
                       "b")
                .ToUtf16(),
            u"a\uFFFDb");
  EXPECT_EQ(CCOMString("\xC0\xAF!").ToUtf16(), u"\uFFFD\uFFFD!");
  EXPECT_EQ(CCOMString("\xED\xA0\x80x").ToUtf16(), u"\uFFFD\uFFFD\uFFFDx");
  EXPECT_EQ(CCOMString("ok\xE6\x97").ToUtf16(), u"ok\uFFFD\uFFFD");
  // UTF-16 to UTF-8: lone surrogates of either kind become U+FFFD.
  const char16_t loneHigh[] = {u'a', 0xD83C, u'b', 0};
  const char16_t loneLow[] = {0xDFB5, u'c', 0};
  const char16_t highAtEnd[] = {u'd', 0xD83C, 0};
  EXPECT_EQ(CCOMString(loneHigh),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(CCOMString(loneLow),
            "\xEF\xBF\xBD"
            "c");
  EXPECT_EQ(CCOMString(highAtEnd), "d\xEF\xBF\xBD");
  // Text stops at a zero unit.
  EXPECT_EQ(CCOMString(std::u16string(u"ab\0cd", 5)), "ab");
}

TEST(COMString, Pieces) {
  CCOMString s("abcdef");
  EXPECT_EQ(s.Mid(2, 100), "cdef");
  EXPECT_EQ(s.Mid(7), "");
  EXPECT_EQ(s.Mid(-3, 2), "ab");
  EXPECT_EQ(s.Mid(1, -1), "");
  EXPECT_EQ(s.Left(0), "");
  EXPECT_EQ(s.Left(-1), "");
  EXPECT_EQ(s.Left(3), "abc");
  EXPECT_EQ(s.Right(10), "abcdef");
  EXPECT_EQ(s.Right(2), "ef");
  EXPECT_EQ(s.Right(0), "");
  EXPECT_EQ(s.SpanIncluding("cba"), "abc");
  EXPECT_EQ(s.SpanExcluding("dx"), "abc");
  EXPECT_EQ(s.SpanExcluding(nullptr), "abcdef");
  EXPECT_EQ(s.GetAt(1), 'b');
  EXPECT_EQ(s[100], '\0');
  EXPECT_EQ(s.GetAt(-1), '\0');
  EXPECT_EQ(CCOMString('x', 3), "xxx");
  EXPECT_TRUE(CCOMString('x', 0).IsEmpty());
  EXPECT_TRUE(CCOMString('\0', 3).IsEmpty());
}

TEST(COMString, Search) {
  CCOMString s("abcdef");
  EXPECT_EQ(s.Find('c'), 2);
  EXPECT_EQ(s.Find('c', 6), -1);
  EXPECT_EQ(s.Find('c', 3), -1);
  EXPECT_EQ(s.Find("", 6), 6);
  EXPECT_EQ(s.Find("", 7), -1);
  EXPECT_EQ(s.Find("de"), 3);
  EXPECT_EQ(s.Find("de", 4), -1);
  EXPECT_EQ(s.FindOneOf("xfe"), 4);
  EXPECT_EQ(s.FindOneOf("xyz"), -1);
}

TEST(COMString, Comparison) {
  CCOMString s("abc");
  EXPECT_EQ(s.Compare("abd"), -1);
  EXPECT_EQ(s.Compare("ab"), 1);
  EXPECT_EQ(s.Compare(CCOMString("abc")), 0);
  EXPECT_EQ(CCOMString("\xC3\xA9").Compare("z"), 1);  // unsigned bytes
  EXPECT_EQ(s.CompareNoCase("ABC"), 0);
  EXPECT_EQ(s.CompareNoCase("ABD"), -1);
  EXPECT_EQ(s.Collate("abc"), 0);
  EXPECT_TRUE(s == "abc");
  EXPECT_TRUE("abc" == s);
  EXPECT_TRUE(s != CCOMString("ABC"));
  EXPECT_TRUE(s != nullptr);
}

TEST(COMString, ChangesInPlace) {
  CCOMString s("  in  ner  ");
  s.TrimRight();
  EXPECT_EQ(s, "  in  ner");
  s.TrimLeft();
  EXPECT_EQ(s, "in  ner");
  CCOMString blanks(" \t\n");
  blanks.TrimLeft();
  EXPECT_TRUE(blanks.IsEmpty());

  CCOMString mixed("Ärger mit ÉCOLE");
  mixed.MakeLower();
  EXPECT_EQ(mixed, "Ärger mit École");
  mixed.MakeUpper();
  EXPECT_EQ(mixed, "ÄRGER MIT ÉCOLE");

  CCOMString reversed("aé音\xF0\x9F\x8E\xB5z\xFF");
  reversed.MakeReverse();
  EXPECT_EQ(reversed, "\xFFz\xF0\x9F\x8E\xB5音éa");

  CCOMString aaaa("aaaa");
  EXPECT_EQ(aaaa.Replace("aa", "bbb"), 2);
  EXPECT_EQ(aaaa, "bbbbbb");
  EXPECT_EQ(aaaa.Replace("", "x"), 0);
  EXPECT_EQ(aaaa.Replace("b", nullptr), 6);
  EXPECT_TRUE(aaaa.IsEmpty());
  CCOMString chars("a-b-c");
  EXPECT_EQ(chars.Replace('-', '-'), 0);
  EXPECT_EQ(chars.Replace('-', '+'), 2);
  EXPECT_EQ(chars, "a+b+c");
  EXPECT_EQ(chars.Replace('+', '\0'), 2);  // the text ends at the first NUL
  EXPECT_EQ(chars.GetLength(), 1);
  chars.SetAt(0, 'z');
  chars.SetAt(5, 'q');  // outside: ignored
  EXPECT_EQ(chars, "z");

  CCOMString self("ab");
  self += self;
  self = self.GetString();
  EXPECT_EQ(self, "abab");
  self += 'c';
  self += '\0';
  EXPECT_EQ(self, "ababc");
  self.Empty();
  EXPECT_TRUE(self.IsEmpty());
}

TEST(COMString, FormatGrowsToAnyLength) {
  CCOMString s("old");
  std::string long250(250, 'x');
  EXPECT_TRUE(s.Format("%s", long250.c_str()));
  EXPECT_EQ(s.GetLength(), 250);
  std::string huge(100000, 'y');
  EXPECT_TRUE(s.Format("<%s|%d|%.1f>", huge.c_str(), -42, 2.5));
  EXPECT_EQ(Text(s), "<" + huge + "|-42|2.5>");
  EXPECT_TRUE(s.Format("%c-", 0));  // a NUL ends the text
  EXPECT_TRUE(s.IsEmpty());
}
