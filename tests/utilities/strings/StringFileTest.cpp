#include <gtest/gtest.h>

#include <cstring>

#include "tests/TestSupport.h"
#include "utilities/strings/BoundedCopy.h"
#include "utilities/strings/ParseForHTML.h"
#include "utilities/strings/StringFile.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

class StringFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.File("strings.ini");
    ASSERT_TRUE(WriteFile(path_,
                          "[Strings]\r\n"
                          "CRLF=one\\r\\ntwo\r\n"
                          "LF=one\\ntwo\r\n"
                          "Tab=A\\tB\r\n"
                          "NewLine=A\\nB\r\n"
                          "Other=back\\slash \\x\r\n"
                          "Empty=\r\n"
                          "Ten=0123456789\r\n"
                          "TabAtEnd=AB\\t\r\n"));
    SetStringFile(path_.c_str());
  }
  void TearDown() override { SetStringFile(nullptr); }

  TempDir dir_;
  std::string path_;
};

TEST_F(StringFileTest, MyLoadStringTurnsBothEscapesIntoOneLineFeed) {
  char out[64];
  EXPECT_EQ(MyLoadString("CRLF", out, sizeof out, nullptr), 1);
  EXPECT_STREQ(out, "one\ntwo");
  EXPECT_EQ(MyLoadString("LF", out, sizeof out, path_.c_str()), 1);
  EXPECT_STREQ(out, "one\ntwo");
  EXPECT_EQ(MyLoadString("Other", out, sizeof out, nullptr), 1);
  EXPECT_STREQ(out, "back\\slash \\x");
  EXPECT_EQ(LoadKeyedString("CRLF"), "one\ntwo");
}

TEST_F(StringFileTest, MissingKeyGivesItsNameAndEmptyValueGivesNothing) {
  char out[64];
  EXPECT_EQ(MyLoadString("NO_SUCH_KEY", out, sizeof out, nullptr), 1);
  EXPECT_STREQ(out, "NO_SUCH_KEY");
  EXPECT_EQ(MyLoadString("Empty", out, sizeof out, nullptr), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(LoadLanguageString("Empty", out, sizeof out), 0);
  EXPECT_EQ(LoadLanguageString("Missing", out, sizeof out), 1);
  EXPECT_STREQ(out, "Missing");
  // A file that was never set, or is missing, answers with the key too.
  SetStringFile(nullptr);
  EXPECT_EQ(MyLoadString("CRLF", out, sizeof out, nullptr), 1);
  EXPECT_STREQ(out, "CRLF");
  EXPECT_EQ(MyLoadString("CRLF", out, sizeof out, dir_.File("gone.ini").c_str()), 1);
  EXPECT_STREQ(out, "CRLF");
}

TEST_F(StringFileTest, LoadersNeverWritePastTheBuffer) {
  char out[16];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(MyLoadString("Ten", out, 5, nullptr), 1);
  EXPECT_STREQ(out, "0123");
  EXPECT_EQ(out[5], 'x');
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(LoadLanguageString("Ten", out, 5), 1);
  EXPECT_STREQ(out, "0123");
  EXPECT_EQ(out[5], 'x');
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(LoadLanguageStringFormatted("Ten", out, 5), 1);
  EXPECT_STREQ(out, "0123");
  EXPECT_EQ(out[5], 'x');
  // A missing key longer than the buffer is cut the same way.
  EXPECT_EQ(MyLoadString("A_VERY_LONG_MISSING_KEY", out, 4, nullptr), 1);
  EXPECT_STREQ(out, "A_V");
  EXPECT_EQ(MyLoadString("Ten", out, 0, nullptr), 0);
  EXPECT_EQ(MyLoadString("Ten", nullptr, 8, nullptr), 0);
  EXPECT_EQ(MyLoadString(nullptr, out, 8, nullptr), 0);
  EXPECT_EQ(LoadLanguageStringFormatted(nullptr, out, 8), 0);
  EXPECT_EQ(LoadLanguageStringFormatted("Ten", out, 0), 0);
}

TEST_F(StringFileTest, FormattedLoaderMakesTabsAndCrLf) {
  char out[64];
  EXPECT_EQ(LoadLanguageStringFormatted("Tab", out, sizeof out), 1);
  EXPECT_STREQ(out, "A\tB");
  EXPECT_EQ(LoadLanguageStringFormatted("NewLine", out, sizeof out), 1);
  EXPECT_STREQ(out, "A\r\nB");
  EXPECT_EQ(LoadLanguageStringFormatted("TabAtEnd", out, sizeof out), 1);
  EXPECT_STREQ(out, "AB\t");
}

TEST(ParseCarriageReturns, EscapesBecomeCarriageReturnsWithinSize) {
  char out[32];
  ParseCarriageReturns("A\\nB\\rC\\", out, sizeof out);
  EXPECT_STREQ(out, "A\rB\rC\\");
  std::memset(out, 'x', sizeof out);
  ParseCarriageReturns("A\\nBCDEFG", out, 4);
  EXPECT_STREQ(out, "A\rB");
  EXPECT_EQ(out[4], 'x');
  char same[] = "x\\ny";
  ParseCarriageReturns(same, same, sizeof same);
  EXPECT_STREQ(same, "x\ry");
}

TEST(ParseForHTML, LinksAddressesAndKeepsMarkup) {
  EXPECT_EQ(ParseForHTML("mail me@example.org now"),
            "mail <a href=\"mailto:me@example.org\">me@example.org</a> now");
  EXPECT_EQ(ParseForHTML("MailTo:me@x.de"), "<a href=\"MailTo:me@x.de\">me@x.de</a>");
  EXPECT_EQ(ParseForHTML("see http://a.b/c"), "see <a href=\"http://a.b/c\">http://a.b/c</a>");
  EXPECT_EQ(ParseForHTML("https://x.com"), "<a href=\"https://x.com\">https://x.com</a>");
  EXPECT_EQ(ParseForHTML("WWW.quillon.net"),
            "<a href=\"http://WWW.quillon.net\">WWW.quillon.net</a>");
  EXPECT_EQ(ParseForHTML("<b>site.edu</b>"), "<b><a href=\"http://site.edu\">site.edu</a></b>");
  EXPECT_EQ(ParseForHTML("<a href=\"www.x.com\">x</a>"), "<a href=\"www.x.com\">x</a>");
  EXPECT_EQ(ParseForHTML("a@b plain\ttext\n"), "a@b plain\ttext\n");
  EXPECT_EQ(ParseForHTML("<unclosed www.x"), "<unclosed www.x");
}

TEST(ParseForHTML, BufferFormStopsAtLengthAndSize) {
  char out[24];
  std::memset(out, 'x', sizeof out);
  ParseForHTML("www.a.com and more", 9, out, sizeof out);
  EXPECT_STREQ(out, "<a href=\"http://www.a.c");  // cut to 23 bytes
  EXPECT_EQ(std::strlen(out), 23u);
  ParseForHTML("plain words", 5, out, sizeof out);
  EXPECT_STREQ(out, "plain");
}

TEST(BoundedCopy, CutsAtCharacterBoundariesOrRefuses) {
  char out[6];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(CopyBounded(out, 4, "ab\xC3\xA9"), 2);  // é would need 2 more bytes
  EXPECT_STREQ(out, "ab");
  EXPECT_EQ(out[4], 'x');
  EXPECT_FALSE(CopyWhole(out, sizeof out, "/a/long/path"));
  EXPECT_STREQ(out, "");
  EXPECT_TRUE(CopyWhole(out, sizeof out, "/a/b/"));
  EXPECT_STREQ(out, "/a/b/");
  EXPECT_EQ(CopyBounded(nullptr, 4, "x"), 0);
  EXPECT_EQ(BoundedLength("abc", 2), 2);
}

}  // namespace
