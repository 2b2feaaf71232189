#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/TestSupport.h"
#include "utilities/files/Clipboard.h"
#include "utilities/files/DiskSpace.h"
#include "utilities/files/FileNames.h"
#include "utilities/files/SystemVersion.h"
#include "utilities/files/TextFormats.h"

using testsupport::TempDir;

namespace {

TEST(DiskSpace, FreeSpaceOfAMissingFolderIsItsNearestAncestors) {
  TempDir dir;
  testsupport::ProcessResult r =
      testsupport::Run("df -B1 --output=avail '" + dir.Path() + "' | tail -1");
  ASSERT_EQ(r.exitCode, 0);
  double dfKB = std::stod(r.out) * 0.001;
  double kb = GetKBFree(dir.Path().c_str());
  double missing = GetKBFree((dir.Path() + "/not/yet/made/").c_str());
  ASSERT_GT(kb, 0.0);
  // Free space moves while other programs write: allow 1 %.
  EXPECT_NEAR(kb, dfKB, dfKB * 0.01 + 1000);
  EXPECT_NEAR(missing, kb, kb * 0.01 + 1000);
  EXPECT_GT(GetKBFree("relative-missing-folder/x"), 0.0);  // below the current folder
  EXPECT_EQ(GetKBFree(nullptr), 0.0);
  EXPECT_EQ(GetKBFree(""), 0.0);
}

TEST(DiskSpace, LocalDiskByFileSystemType) {
  TempDir dir;
  EXPECT_EQ(IsOnLocalHardDrive(dir.Path().c_str()), 1);
  EXPECT_EQ(IsOnLocalHardDrive((dir.Path() + "/missing/file.wav").c_str()), 1);
  EXPECT_EQ(IsOnLocalHardDrive("/proc/self/status"), 0);
  EXPECT_EQ(IsOnLocalHardDrive("no-separator.wav"), 0);
  EXPECT_EQ(IsOnLocalHardDrive(nullptr), 0);
  LogCurrentHardDriveSpace();  // logging off: nothing to see, must not fail
}

TEST(FileNames, ValidationAndCharacters) {
  char out[32];
  ValidateFileName("a/b\\c:d*e?f\"g<h>i|j.mp3", out, '_');
  EXPECT_STREQ(out, "a_b_c_d_e_f_g_h_i_j.mp3");
  EXPECT_EQ(ValidateFileName(std::string("x:y"), '-'), "x-y");
  EXPECT_TRUE(IsValidFileNameChar('/', true));
  EXPECT_FALSE(IsValidFileNameChar('/', false));
  EXPECT_TRUE(IsValidFileNameChar(':', true));
  EXPECT_FALSE(IsValidFileNameChar(':', false));
  for (char c : std::string("*?\"<>|\\\x01"))
    for (bool path : {false, true}) EXPECT_FALSE(IsValidFileNameChar(c, path)) << c;
  for (char c : std::string(" $%'-_@~`!()^#&+,;=[].aZ09\xC3\xA9"))
    EXPECT_TRUE(IsValidFileNameChar(c, false)) << c;
  EXPECT_FALSE(IsValidFileNameChar('\0', true));
}

TEST(TextFormats, LengthAndSizeStrings) {
  EXPECT_EQ(MakeLengthString(3723004, true, false), "01:02:03:004");
  EXPECT_EQ(MakeLengthString(3723004, true, true), "02:03:004");
  EXPECT_EQ(MakeLengthString(3723004, false, false), "01:02:03");
  EXPECT_EQ(MakeLengthString(59999, true, false), "00:59:999");
  EXPECT_EQ(MakeLengthString(3599999, false, false), "59:59");
  EXPECT_EQ(MakeLengthString(3600000, false, false), "01:00:00");
  EXPECT_EQ(MakeLengthString(-5, true, false), "00:00:000");
  EXPECT_EQ(MakeLengthString(INT64_MAX, true, false), "2562047788015:12:55:807");
  char out[32];
  MakeLengthString(61001, out, 1, 0);
  EXPECT_STREQ(out, "01:01:001");

  EXPECT_EQ(MakeFileSizeString(0), "0 Bytes");
  EXPECT_EQ(MakeFileSizeString(999), "999 Bytes");
  EXPECT_EQ(MakeFileSizeString(1000), "1 KB");
  EXPECT_EQ(MakeFileSizeString(999999), "999 KB");
  EXPECT_EQ(MakeFileSizeString(1000000), "1.00 MB");
  EXPECT_EQ(MakeFileSizeString(5000000000ULL), "5000.00 MB");  // beyond 32 bits
  std::memset(out, 'x', sizeof out);
  MakeFileSizeString(1000000, out, 4);
  EXPECT_STREQ(out, "1.0");
  EXPECT_EQ(out[4], 'x');
}

TEST(TextFormats, TrimSearchAndCase) {
  char out[32];
  EXPECT_FALSE(TrimWhitespace(" \t\n  ", out));
  EXPECT_STREQ(out, "");
  EXPECT_TRUE(TrimWhitespace("\t a b \r\n", out));
  EXPECT_STREQ(out, "a b \r");
  char same[] = "  x  ";
  EXPECT_TRUE(TrimWhitespace(same, same));
  EXPECT_STREQ(same, "x");

  char s[] = "abc/d\xC3\xA9";
  int index = 0;
  EXPECT_EQ(StrChrPos(s, '/', &index), s + 3);
  EXPECT_EQ(index, 3);
  EXPECT_EQ(StrChrPos(s, 'z', &index), nullptr);
  EXPECT_EQ(index, -1);
  MakeUpperCase(s);
  EXPECT_STREQ(s, "ABC/D\xC3\xA9");
}

TEST(SystemAndClipboard, LinuxHasNothingWindowsToReport) {
  char out[260];
  EXPECT_EQ(GetWindowsSystemVersion(out), OUR_WIN_UNKNOWN);
  testsupport::ProcessResult r = testsupport::Run("uname -s");
  EXPECT_EQ(std::string(out).substr(0, r.out.size() - 1), r.out.substr(0, r.out.size() - 1));
  EXPECT_EQ(std::string(out).back(), '\n');
  EXPECT_EQ(GetWindowsSystemVersion(nullptr), OUR_WIN_UNKNOWN);
  EXPECT_EQ(NumFileNamesOnClipboard(), 0u);
  out[0] = 'x';
  GetFileNameFromClipboard(0, out, sizeof out);
  EXPECT_STREQ(out, "");
}

}  // namespace
