#include "converter/gui/Animation.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "converter/gui/ProgramIcon.h"

CAnimation::CAnimation(QWidget* parent) : QWidget(parent) {
  setObjectName("animation");
  setFixedSize(sizeHint());
  connect(&timer_, &QTimer::timeout, this, &CAnimation::Advance);
  timer_.start(kFrameMs);
}

void CAnimation::Advance() {
  if (paused_) return;
  frame_ = (frame_ + 1) % kFrames;
  // After the last frame the animation rests before it starts again.
  timer_.start(frame_ == kFrames - 1 ? kRestMs : kFrameMs);
  update();
}

// A wave travels from the disc on the left into the file on the right.
void CAnimation::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const double w = width(), h = height();
  const QColor accent = palette().color(QPalette::Highlight);
  const QColor ink = palette().color(QPalette::WindowText);
  int frame = frame_ < 0 ? 0 : frame_;
  double phase = frame / static_cast<double>(kFrames);

  // The disc, turning.
  QPointF centre(h * 0.36, h * 0.5);
  double radius = h * 0.3;
  p.setPen(QPen(ink, 1.5));
  p.setBrush(palette().color(QPalette::Base));
  p.drawEllipse(centre, radius, radius);
  p.setBrush(accent);
  p.drawEllipse(centre, radius * 0.22, radius * 0.22);
  double angle = phase * 2 * M_PI;
  p.setPen(QPen(accent, 2));
  p.drawLine(centre + QPointF(std::cos(angle), std::sin(angle)) * radius * 0.35,
             centre + QPointF(std::cos(angle), std::sin(angle)) * radius * 0.9);

  // The file, with a folded corner.
  QRectF page(w * 0.72, h * 0.2, w * 0.22, h * 0.6);
  p.setPen(QPen(ink, 1.5));
  p.setBrush(palette().color(QPalette::Base));
  p.drawPath(PageShape(page, page.width() * 0.3));
  // The file fills as the frames go by.
  double filled = page.height() * 0.8 * (frame + 1) / kFrames;
  p.fillRect(QRectF(page.left() + 3, page.bottom() - 3 - filled, page.width() - 6, filled),
             accent.lighter(150));

  // The wave between them.
  QPainterPath wave;
  double x0 = centre.x() + radius + 4, x1 = page.left() - 4;
  for (int i = 0; i <= 40; ++i) {
    double x = x0 + (x1 - x0) * i / 40.0;
    double y = h * 0.5 + std::sin((i / 40.0 - phase) * 4 * M_PI) * h * 0.12;
    if (i == 0)
      wave.moveTo(x, y);
    else
      wave.lineTo(x, y);
  }
  p.setPen(QPen(accent, 2));
  p.setBrush(Qt::NoBrush);
  p.drawPath(wave);
}
