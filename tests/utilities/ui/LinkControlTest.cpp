// The link label's hit testing and its stored texts.
#include <gtest/gtest.h>

#include <string>

#include "utilities/ui/LinkControl.h"

namespace {

TEST(LinkControl, TheHitRectangleCoversTheTextAndSevenPixelsBelow) {
  CLinkControl link;
  ASSERT_EQ(link.Attach("Quillon", "https://example.org/", 80, 13), 1);
  LinkRect r = link.GetLastHitRect();
  EXPECT_EQ(r.left, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.right, 80);
  EXPECT_EQ(r.bottom, 13 + 7);

  const LinkPoint at{10, 20};  // the label's place in its parent
  EXPECT_TRUE(link.MouseOver({10, 20}, at));
  EXPECT_TRUE(link.MouseOver({89, 32}, at));
  EXPECT_TRUE(link.MouseOver({50, 20 + 13 + 6}, at));   // just below the text
  EXPECT_FALSE(link.MouseOver({50, 20 + 13 + 7}, at));  // beyond
  EXPECT_FALSE(link.MouseOver({90, 25}, at));
  EXPECT_FALSE(link.MouseOver({9, 25}, at));
  EXPECT_FALSE(link.MouseOver({50, 19}, at));

  // A client area that does not start at the label's corner, and a new font.
  link.SetTextExtent(40, 10, {2, 3});
  EXPECT_TRUE(link.MouseOver({12, 23}, at));
  EXPECT_FALSE(link.MouseOver({11, 23}, at));
  EXPECT_TRUE(link.MouseOver({51, 39}, at));
  EXPECT_FALSE(link.MouseOver({52, 39}, at));
  EXPECT_FALSE(link.MouseOver({51, 40}, at));
}

TEST(LinkControl, TextsThatDoNotFitAreRefusedNotCutShort) {
  CLinkControl link;
  const std::string longest(CLinkControl::kTargetSize - 1, 'a');
  ASSERT_EQ(link.Attach("site", longest.c_str(), 10, 10), 1);
  EXPECT_EQ(link.GetLink(), longest);

  const std::string tooLong = longest + "b";
  EXPECT_EQ(link.Attach("other", tooLong.c_str(), 5, 5), 0);
  EXPECT_EQ(link.GetLink(), longest);
  EXPECT_STREQ(link.GetText(), "site");
  EXPECT_EQ(link.GetLastHitRect().right, 10);
  const std::string longText(CLinkControl::kTextSize, 't');
  EXPECT_EQ(link.Attach(longText.c_str(), "x", 5, 5), 0);
  EXPECT_EQ(link.Attach(nullptr, "x", 5, 5), 0);
  EXPECT_EQ(link.Attach("x", nullptr, 5, 5), 0);
  EXPECT_STREQ(link.GetText(), "site");
}

}  // namespace
