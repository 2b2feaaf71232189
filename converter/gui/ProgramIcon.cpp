#include "converter/gui/ProgramIcon.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

QPainterPath PageShape(const QRectF& page, double fold) {
  QPainterPath sheet;
  sheet.moveTo(page.topLeft());
  sheet.lineTo(page.right() - fold, page.top());
  sheet.lineTo(page.right(), page.top() + fold);
  sheet.lineTo(page.bottomRight());
  sheet.lineTo(page.bottomLeft());
  sheet.closeSubpath();
  return sheet;
}

QPixmap ProgramPixmap(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const double s = size;
  QLinearGradient tile(0, 0, 0, s);
  tile.setColorAt(0, QColor(0x3a, 0x7b, 0xd5));
  tile.setColorAt(1, QColor(0x1f, 0x4e, 0x9a));
  p.setPen(Qt::NoPen);
  p.setBrush(tile);
  p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s * 0.18, s * 0.18);

  // The disc.
  QPointF centre(s * 0.32, s * 0.56);
  double r = s * 0.2;
  p.setBrush(Qt::white);
  p.drawEllipse(centre, r, r);
  p.setBrush(QColor(0x1f, 0x4e, 0x9a));
  p.drawEllipse(centre, r * 0.28, r * 0.28);

  // The wave, from the disc up into the file.
  QPainterPath wave;
  for (int i = 0; i <= 24; ++i) {
    double t = i / 24.0;
    double x = s * (0.5 + 0.22 * t);
    double y = s * (0.5 - 0.16 * t) + std::sin(t * 3 * M_PI) * s * 0.07;
    if (i == 0)
      wave.moveTo(x, y);
    else
      wave.lineTo(x, y);
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(QPen(QColor(0xff, 0xd8, 0x4d), std::max(1.0, s * 0.06), Qt::SolidLine, Qt::RoundCap));
  p.drawPath(wave);

  // The file, with a folded corner.
  QRectF page(s * 0.66, s * 0.14, s * 0.22, s * 0.3);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPath(PageShape(page, page.width() * 0.35));
  return pixmap;
}

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128, 256}) icon.addPixmap(ProgramPixmap(size));
  return icon;
}
