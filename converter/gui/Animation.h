// The progress window's small animation: 24 frames, one per 66 ms, then a
// second's rest before the first comes again; it stands still while paused.
#pragma once

#include <QTimer>
#include <QWidget>

class CAnimation : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kFrames = 24;
  static constexpr int kFrameMs = 66;
  static constexpr int kRestMs = 1000;

  explicit CAnimation(QWidget* parent = nullptr);
  void SetPaused(bool paused) { paused_ = paused; }
  int Frame() const { return frame_; }
  QSize sizeHint() const override { return {120, 90}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Advance();

  QTimer timer_;
  int frame_ = -1;  // none drawn yet
  bool paused_ = false;
};
