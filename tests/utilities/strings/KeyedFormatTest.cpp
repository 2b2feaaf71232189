#include <gtest/gtest.h>

#include <climits>

#include "tests/TestSupport.h"
#include "utilities/strings/KeyedFormat.h"

using testsupport::TempDir;
using testsupport::WriteFile;

namespace {

TEST(KeyedFormat, MatchingConversionsFormatLikePrintf) {
  EXPECT_EQ(FormatKeyed("K", "%s has %0.2f MB free.", {"/home", 12.345}),
            "/home has 12.35 MB free.");
  EXPECT_EQ(FormatKeyed("K", "%d|%i|%u|%ld|%lu|%x|%X|%c|%%",
                        {-5, 7, 3u, 100000000000L, 9UL, 255, 255, 'Z'}),
            "-5|7|3|100000000000|9|ff|FF|Z|%");
  EXPECT_EQ(FormatKeyed("K", "[%5d][%-5d][%05d][%+d][% d]", {42, 42, 42, 42, 42}),
            "[   42][42   ][00042][+42][ 42]");
  EXPECT_EQ(FormatKeyed("K", "[%8s][%-8s][%.3s]", {"abc", "abc", "abcdef"}),
            "[     abc][abc     ][abc]");
  EXPECT_EQ(FormatKeyed("K", "%d.%02d MB", {12, 5}), "12.05 MB");
  EXPECT_EQ(FormatKeyed("K", "%f", {2}), "2.000000");  // integers fill floating conversions
  EXPECT_EQ(FormatKeyed("K", "%e", {1.5f}), "1.500000e+00");
  EXPECT_EQ(FormatKeyed("K", "no conversions", {}), "no conversions");
  EXPECT_EQ(FormatKeyed("K", "%s", {std::string("std")}), "std");
  EXPECT_EQ(FormatKeyed("K", "%s", {static_cast<const char*>(nullptr)}), "(null)");
  // Precision never splits a UTF-8 character.
  EXPECT_EQ(FormatKeyed("K", "%.2s", {"a\xC3\xA9"}), "a");
}

TEST(KeyedFormat, HostileFormatsFallBackToKeyAndArguments) {
  EXPECT_EQ(FormatKeyed("CFE_X", "%s%s%s%n", {"a", "b", "c"}), "CFE_X a b c");
  EXPECT_EQ(FormatKeyed("CFE_X", "%d", {"text"}), "CFE_X text");
  EXPECT_EQ(FormatKeyed("CFE_X", "%s", {5}), "CFE_X 5");
  EXPECT_EQ(FormatKeyed("CFE_X", "%", {5}), "CFE_X 5");
  EXPECT_EQ(FormatKeyed("CFE_X", "100%", {}), "CFE_X");
  EXPECT_EQ(FormatKeyed("CFE_X", "%d", {1, 2}), "CFE_X 1 2");  // too many arguments
  EXPECT_EQ(FormatKeyed("CFE_X", "%d %d", {1}), "CFE_X 1");    // too few
  EXPECT_EQ(FormatKeyed("CFE_X", "%p", {1}), "CFE_X 1");
  EXPECT_EQ(FormatKeyed("CFE_X", "%1$s", {"a"}), "CFE_X a");
  EXPECT_EQ(FormatKeyed("CFE_X", "%*d", {3, 4}), "CFE_X 3 4");
  EXPECT_EQ(FormatKeyed("CFE_X", "%99999d", {1}), "CFE_X 1");
  EXPECT_EQ(FormatKeyed("CFE_X", "%.99999f", {1.5}), "CFE_X 1.5");
  EXPECT_EQ(FormatKeyed("CFE_X", "%q", {1}), "CFE_X 1");  // modifier without a letter
  EXPECT_EQ(FormatKeyed("CFE_X", "%d", {2.5}), "CFE_X 2.5");
  EXPECT_EQ(FormatKeyed(nullptr, "%d", {}), "");
}

TEST(KeyedFormat, LargeWidthsAreFormattedInFull) {
  std::string s = FormatKeyed("K", "%4096d", {1});
  ASSERT_EQ(s.size(), 4096u);
  EXPECT_EQ(s.back(), '1');
  EXPECT_EQ(FormatKeyed("K", "%#x %#o", {255, 8}), "0xff 010");
  EXPECT_EQ(FormatKeyed("K", "%#d %0s", {1, "a"}), "1 a");  // flags C leaves undefined are dropped
  EXPECT_EQ(FormatKeyed("K", "%lld", {LLONG_MIN}), "-9223372036854775808");
}

TEST(KeyedFormat, LoadFormattedUsesTheStringsFile) {
  TempDir dir;
  std::string path = dir.File("s.ini");
  ASSERT_TRUE(WriteFile(path,
                        "[Strings]\nCFE_DirectoryDoesNotExist=Folder %s is missing\\nTry again\n"
                        "BAD=%s and %s\n"));
  SetStringFile(path.c_str());
  EXPECT_EQ(LoadFormatted("CFE_DirectoryDoesNotExist", "/x"), "Folder /x is missing\nTry again");
  EXPECT_EQ(LoadFormatted("BAD", "/x"), "BAD /x");
  EXPECT_EQ(LoadFormatted("MISSING_KEY", "/x", 3), "MISSING_KEY /x 3");
  EXPECT_EQ(LoadFormatted("MISSING_KEY"), "MISSING_KEY");
  SetStringFile(nullptr);
  EXPECT_EQ(LoadFormattedFrom(path.c_str(), "BAD", "a", "b"), "a and b");
}

}  // namespace
