#include "converter/gui/LinkLabel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QProcess>

CLinkLabel::CLinkLabel(const std::string& text, const std::string& target, QWidget* parent)
    : QLabel(parent), text_(text), target_(target) {
  setObjectName("link");
  setMouseTracking(true);
  QFontMetrics m(font());
  setMinimumSize(m.horizontalAdvance(QString::fromStdString(text_)) + 2, m.height() + 8);
  setToolTip(QString::fromStdString(target_));
}

bool CLinkLabel::Hits(const QPoint& point) const {
  QFontMetrics m(font());
  QRect r(0, 0, m.horizontalAdvance(QString::fromStdString(text_)), m.height() + 7);
  return r.contains(point);
}

void CLinkLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(QColor(0, 0, 255));
  QFontMetrics m(font());
  QString t = QString::fromStdString(text_);
  p.drawText(0, m.ascent(), t);
  p.drawLine(0, m.height(), m.horizontalAdvance(t), m.height());
}

void CLinkLabel::mouseMoveEvent(QMouseEvent* event) {
  setCursor(Hits(event->position().toPoint()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !Hits(event->position().toPoint())) return;
  QProcess::startDetached("xdg-open", {QString::fromStdString(target_)});
}
