// Where a centred window goes, and the control hit test's edges.
#include <gtest/gtest.h>

#include "utilities/ui/WindowGeometry.h"

namespace {

const TWindowBox kScreen{0, 0, 1024, 768};

TEST(CentredOrigin, CentresOverTheReferenceWithIntegerHalves) {
  TWindowOrigin at = CentredOrigin(101, 51, {300, 200, 400, 300}, kScreen);
  EXPECT_EQ(at.x, 300 + (400 - 101) / 2);
  EXPECT_EQ(at.y, 200 + (300 - 51) / 2);
}

TEST(CentredOrigin, StaysOnTheScreenAndClearOfTheBottomMargin) {
  // Wider than a parent at the left edge: it would start at -50.
  EXPECT_EQ(CentredOrigin(200, 100, {0, 300, 100, 100}, kScreen).x, 0);
  // Past the right edge and below the bottom margin: moved back until the
  // right edge is the screen's and the bottom lies 30 pixels above its end.
  TWindowOrigin at = CentredOrigin(200, 100, {950, 700, 100, 100}, kScreen);
  EXPECT_EQ(at.x, 1024 - 200);
  EXPECT_EQ(at.y, 768 - 30 - 100);
  // Above the top of the screen.
  EXPECT_EQ(CentredOrigin(200, 300, {0, 0, 100, 100}, kScreen).y, 0);
  // Larger than the screen: the top left corner stays on it.
  at = CentredOrigin(2000, 1000, {0, 0, 100, 100}, kScreen);
  EXPECT_EQ(at.x, 0);
  EXPECT_EQ(at.y, 0);
}

TEST(CentredOrigin, ClampsToASecondScreenAtAnOffset) {
  const TWindowBox right{1024, 0, 800, 600};
  TWindowOrigin at = CentredOrigin(200, 100, {1024, 550, 100, 100}, right);
  EXPECT_EQ(at.x, 1024);
  EXPECT_EQ(at.y, 600 - 30 - 100);
}

TEST(BoxContains, LeftAndTopInclusiveRightAndBottomExclusive) {
  const TWindowBox box{10, 20, 30, 40};
  EXPECT_TRUE(BoxContains(box, 10, 20));
  EXPECT_TRUE(BoxContains(box, 39, 59));
  EXPECT_FALSE(BoxContains(box, 40, 30));
  EXPECT_FALSE(BoxContains(box, 20, 60));
  EXPECT_FALSE(BoxContains(box, 9, 30));
  EXPECT_FALSE(BoxContains({0, 0, 0, 0}, 0, 0));
}

}  // namespace
