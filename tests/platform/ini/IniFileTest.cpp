#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/ini/IniFile.h"
#include "tests/TestSupport.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

std::string Value(const CIniFile& ini, const char* section, const char* key) {
  std::string v;
  return ini.Find(section, key, &v) ? v : "<absent>";
}

TEST(IniFile, ParsesLikeTheProfileFunctions) {
  CIniFile ini = CIniFile::Parse(
      "\xEF\xBB\xBF; comment line\r\n"
      "orphan=before any section\r\n"
      "[Strings]\r\n"
      "  Plain  =  some text  \r\n"
      "Quoted=\"  kept blanks  \"\r\n"
      "Single='x'\r\n"
      "Unbalanced=\"abc\r\n"
      "   ; indented comment=1\r\n"
      "Empty=\r\n"
      "Inline=a ; not a comment\r\n"
      "Dup=first\r\n"
      "dup=second\r\n"
      "no equals sign\r\n"
      "[ other ]\n"
      "Plain=other section\n"
      "[STRINGS]\n"
      "Late=merged into the first section\n"
      "Last=no line end");
  EXPECT_EQ(Value(ini, "strings", "PLAIN"), "some text");
  EXPECT_EQ(Value(ini, "Strings", "Quoted"), "  kept blanks  ");
  EXPECT_EQ(Value(ini, "Strings", "Single"), "x");
  EXPECT_EQ(Value(ini, "Strings", "Unbalanced"), "\"abc");
  EXPECT_EQ(Value(ini, "Strings", "Empty"), "");
  EXPECT_EQ(Value(ini, "Strings", "Inline"), "a ; not a comment");
  EXPECT_EQ(Value(ini, "Strings", "Dup"), "first");
  EXPECT_EQ(Value(ini, "Strings", "; indented comment"), "<absent>");
  EXPECT_EQ(Value(ini, "Strings", "orphan"), "<absent>");
  EXPECT_EQ(Value(ini, "Other", "plain"), "other section");
  EXPECT_EQ(Value(ini, "Strings", "Late"), "merged into the first section");
  EXPECT_EQ(Value(ini, "Strings", "Last"), "no line end");
  EXPECT_EQ(Value(ini, "Missing", "Plain"), "<absent>");
}

TEST(IniFile, MissingFileGivesDefaultAndZero) {
  TempDir dir;
  char out[16];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(GetPrivateProfileString("Strings", "K", "dflt", out, sizeof out,
                                    dir.File("none.ini").c_str()),
            4);
  EXPECT_STREQ(out, "dflt");
  EXPECT_EQ(GetPrivateProfileInt("playlist", "NumberOfEntries", 7, dir.File("none.ini").c_str()),
            7);
  // A directory where the file should be reads as missing too.
  EXPECT_EQ(CIniFile::Load(dir.Path()), nullptr);
  EXPECT_EQ(GetPrivateProfileString("S", "K", nullptr, out, sizeof out, dir.Path().c_str()), 0);
  EXPECT_STREQ(out, "");
}

TEST(IniFile, ProfileStringIsCutToTheBufferAtCharacterBoundaries) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  ASSERT_TRUE(WriteFile(path, "[S]\nK=0123456789\nU=ab\xC3\xA9\n"));
  char out[8];
  std::memset(out, 'x', sizeof out);
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", out, 5, path.c_str()), 4);
  EXPECT_STREQ(out, "0123");
  EXPECT_EQ(out[5], 'x');  // nothing written past size
  // "abé" in 4 bytes: the two-byte é does not fit after "ab" + terminator.
  EXPECT_EQ(GetPrivateProfileString("S", "U", "", out, 4, path.c_str()), 2);
  EXPECT_STREQ(out, "ab");
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", nullptr, 5, path.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileString("S", "K", "", out, 0, path.c_str()), 0);
}

TEST(IniFile, ProfileIntReadsTheLeadingNumber) {
  TempDir dir;
  std::string path = dir.File("p.pls");
  ASSERT_TRUE(WriteFile(path,
                        "[playlist]\nNumberOfEntries=12 files\nNeg=-3\nText=abc\n"
                        "Huge=99999999999999999999\n"));
  EXPECT_EQ(GetPrivateProfileInt("Playlist", "numberofentries", 0, path.c_str()), 12);
  EXPECT_EQ(GetPrivateProfileInt("playlist", "Neg", 0, path.c_str()), -3);
  EXPECT_EQ(GetPrivateProfileInt("playlist", "Text", 5, path.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileInt("playlist", "Huge", 0, path.c_str()), 2147483647);
}

TEST(IniFile, CacheNoticesRewrittenFiles) {
  TempDir dir;
  std::string path = dir.File("c.ini");
  ASSERT_TRUE(WriteFile(path, "[S]\nK=old\n"));
  std::string v;
  ASSERT_TRUE(IniLookup(path, "S", "K", &v));
  EXPECT_EQ(v, "old");
  // Same size and, on coarse clocks, the same second: the inode or the
  // change time still tells the files apart.
  ASSERT_TRUE(WriteFile(path + ".new", "[S]\nK=new\n"));
  ASSERT_EQ(rename((path + ".new").c_str(), path.c_str()), 0);
  ASSERT_TRUE(IniLookup(path, "S", "K", &v));
  EXPECT_EQ(v, "new");
  ASSERT_EQ(unlink(path.c_str()), 0);
  EXPECT_FALSE(IniLookup(path, "S", "K", &v));
  ASSERT_TRUE(WriteFile(path, "[S]\nK=back\n"));
  ASSERT_TRUE(IniLookup(path, "S", "K", &v));
  EXPECT_EQ(v, "back");
}

TEST(IniFile, ManyFilesFromManyThreads) {
  TempDir dir;
  const int files = 150;
  for (int i = 0; i < files; ++i)
    ASSERT_TRUE(WriteFile(dir.File(std::to_string(i) + ".pls"),
                          "[playlist]\nNumberOfEntries=" + std::to_string(i) + "\n"));
  std::vector<std::thread> threads;
  std::atomic<int> wrong{0};
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int round = 0; round < 3; ++round)
        for (int i = 0; i < files; ++i) {
          int k = (i * 7 + t * 13) % files;
          std::string path = dir.File(std::to_string(k) + ".pls");
          if (GetPrivateProfileInt("playlist", "NumberOfEntries", -1, path.c_str()) != k) ++wrong;
        }
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(wrong, 0);
}

}  // namespace
