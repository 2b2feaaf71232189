// Where a centred window goes and whether a point lies over a control: the
// arithmetic of the dialog helpers, apart from any window system.
#pragma once

struct TWindowBox {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

struct TWindowOrigin {
  int x = 0;
  int y = 0;
};

// Room kept free at the bottom of the screen (for a panel or task bar).
constexpr int kCentringBottomMargin = 30;

// The top left corner for a width × height window centred over the
// reference box (integer halves), then kept on the screen: x within
// screen left … screen right − width, y within screen top … screen bottom
// − kCentringBottomMargin − height. A window larger than the screen keeps
// its top left corner on the screen.
TWindowOrigin CentredOrigin(int width, int height, const TWindowBox& over,
                            const TWindowBox& screen);

// True when (x, y) lies in the box: left and top inclusive, right and
// bottom exclusive.
bool BoxContains(const TWindowBox& box, int x, int y);
