// Where the progress window opens: at the point stored from the last run
// when the window's title bar would lie wholly on a screen there, so that it
// can always be grabbed and moved; otherwise centred on the main screen.
#pragma once

#include <cstdint>
#include <vector>

struct TScreenRect {
  int left = 0, top = 0, width = 0, height = 0;
  bool Holds(int x, int y, int w, int h) const {
    return x >= left && y >= top && x + w <= left + width && y + h <= top + height;
  }
};

struct TWindowPoint {
  int x = 0, y = 0;
};

// stored: the point of the last run, null when none is stored. width and
// height are the window's frame; titleHeight the height of its title bar.
// A window taller than the main screen is centred with its top on the screen.
TWindowPoint PlaceWindow(const int32_t* stored, int width, int height, int titleHeight,
                         const std::vector<TScreenRect>& screens, const TScreenRect& main);
