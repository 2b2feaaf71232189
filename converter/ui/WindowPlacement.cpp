#include "converter/ui/WindowPlacement.h"

#include <algorithm>

TWindowPoint PlaceWindow(const int32_t* stored, int width, int height, int titleHeight,
                         const std::vector<TScreenRect>& screens, const TScreenRect& main) {
  if (stored) {
    int x = stored[0], y = stored[1];
    for (const TScreenRect& s : screens)
      if (s.Holds(x, y, width, std::max(titleHeight, 1))) return {x, y};
  }
  TWindowPoint p;
  p.x = main.left + (main.width - width) / 2;
  p.y = main.top + std::max(0, (main.height - height) / 2);
  // Wider than the screen: its left edge (and the window's menu) stays on it.
  if (width > main.width) p.x = main.left;
  return p;
}
