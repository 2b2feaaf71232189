#include "utilities/ui/LinkControl.h"

#include <cstring>

CLinkControl::CLinkControl() {
  text_[0] = '\0';
  target_[0] = '\0';
}

int CLinkControl::Attach(const char* text, const char* target, int textWidth, int textHeight,
                         LinkPoint clientOrigin) {
  // A text cut short would show, and a target cut short open, something else.
  if (text == nullptr || target == nullptr || std::strlen(text) >= kTextSize ||
      std::strlen(target) >= kTargetSize)
    return 0;
  std::strcpy(text_, text);
  std::strcpy(target_, target);
  SetTextExtent(textWidth, textHeight, clientOrigin);
  return 1;
}

void CLinkControl::SetTextExtent(int textWidth, int textHeight, LinkPoint clientOrigin) {
  hit_.left = clientOrigin.x;
  hit_.top = clientOrigin.y;
  hit_.right = clientOrigin.x + textWidth;
  hit_.bottom = clientOrigin.y + textHeight + kBelowText;
}

int CLinkControl::MouseOver(LinkPoint p, LinkPoint controlOffset) const {
  const int x = p.x - controlOffset.x;
  const int y = p.y - controlOffset.y;
  return x >= hit_.left && x < hit_.right && y >= hit_.top && y < hit_.bottom;
}
