#include "utilities/ui/WindowGeometry.h"

#include <algorithm>

TWindowOrigin CentredOrigin(int width, int height, const TWindowBox& over,
                            const TWindowBox& screen) {
  TWindowOrigin at{over.left + (over.width - width) / 2, over.top + (over.height - height) / 2};
  at.x = std::max(std::min(at.x, screen.left + screen.width - width), screen.left);
  at.y = std::max(std::min(at.y, screen.top + screen.height - kCentringBottomMargin - height),
                  screen.top);
  return at;
}

bool BoxContains(const TWindowBox& box, int x, int y) {
  return x >= box.left && x < box.left + box.width && y >= box.top && y < box.top + box.height;
}
