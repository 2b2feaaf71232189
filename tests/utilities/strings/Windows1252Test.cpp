#include <gtest/gtest.h>

#include "utilities/strings/Windows1252.h"

TEST(Windows1252, HighControlRangeHoldsTypographicCharacters) {
  EXPECT_EQ(Windows1252ToUtf8("\x80 \x93quoted\x94 \x96 \x9f"),
            "\xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D \xE2\x80\x93 \xC5\xB8");
  EXPECT_EQ(Windows1252ToUtf8("caf\xe9 \xff"), "caf\xC3\xA9 \xC3\xBF");
  EXPECT_EQ(Windows1252ToUtf8(std::string("\x81\x00a", 3)), std::string("\xC2\x81\x00a", 4));
}
