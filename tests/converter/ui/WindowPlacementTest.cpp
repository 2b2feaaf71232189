#include <gtest/gtest.h>

#include "converter/ui/WindowPlacement.h"

namespace {

const TScreenRect kMain{0, 0, 1280, 800};
const TScreenRect kRight{1280, 0, 1024, 768};

TEST(WindowPlacement, AStoredPointIsUsedOnlyWhenTheTitleBarLiesOnAScreen) {
  std::vector<TScreenRect> screens = {kMain, kRight};
  int32_t inside[2] = {100, 120};
  TWindowPoint p = PlaceWindow(inside, 600, 200, 30, screens, kMain);
  EXPECT_EQ(p.x, 100);
  EXPECT_EQ(p.y, 120);
  int32_t second[2] = {1400, 700};  // on the right-hand screen
  p = PlaceWindow(second, 600, 200, 30, screens, kMain);
  EXPECT_EQ(p.x, 1400);
  // Below the bottom, above the top, half off the right edge, across the gap
  // between two screens of different heights: centred instead.
  for (auto point : {std::pair{100, 790}, {100, -5}, {2000, 100}, {1000, 750}}) {
    int32_t stored[2] = {point.first, point.second};
    p = PlaceWindow(stored, 600, 200, 30, screens, kMain);
    EXPECT_EQ(p.x, 340) << point.first << "," << point.second;
    EXPECT_EQ(p.y, 300);
  }
  p = PlaceWindow(nullptr, 600, 200, 30, screens, kMain);
  EXPECT_EQ(p.x, 340);
}

TEST(WindowPlacement, AWindowLargerThanTheScreenKeepsItsTitleBarOnIt) {
  TScreenRect small{0, 24, 800, 576};
  TWindowPoint p = PlaceWindow(nullptr, 900, 700, 30, {small}, small);
  EXPECT_EQ(p.x, 0);
  EXPECT_EQ(p.y, 24);
}

}  // namespace
