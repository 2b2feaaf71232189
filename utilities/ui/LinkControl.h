// A text label that acts as a hyperlink: it keeps the link's text and
// target and answers whether a mouse position lies over the text. The
// window that shows the label measures the text with its font and does the
// drawing; this class only holds the state, so it needs no window system.
#pragma once

// A rectangle as the window system gives it: right and bottom exclusive.
struct LinkRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct LinkPoint {
  int x = 0;
  int y = 0;
};

// Copied bytewise by its assignment.
class CLinkControl {
 public:
  static constexpr unsigned kTextSize = 512;     // the text with its terminating zero
  static constexpr unsigned kTargetSize = 2048;  // the target with its terminating zero
  // The hit rectangle reaches this far below the text, so that the
  // underline and the pixels just under it count as the link.
  static constexpr int kBelowText = 7;

  CLinkControl();

  // Makes the label a link: stores text and target and the hit rectangle
  // for the text's measured width and height, placed at the label's client
  // origin. 1; 0 (nothing changed) when either is null or does not fit.
  int Attach(const char* text, const char* target, int textWidth, int textHeight,
             LinkPoint clientOrigin = {});
  // The text measured anew (the font changed): the hit rectangle follows.
  void SetTextExtent(int textWidth, int textHeight, LinkPoint clientOrigin = {});

  // Nonzero when p, in the parent's coordinates, lies over the link; the
  // label's top left lies at controlOffset in the parent.
  int MouseOver(LinkPoint p, LinkPoint controlOffset) const;

  const char* GetLink() const { return target_; }
  const char* GetText() const { return text_; }
  // In the label's own coordinates.
  LinkRect GetLastHitRect() const { return hit_; }

 private:
  char text_[kTextSize];
  char target_[kTargetSize];
  LinkRect hit_;
};
