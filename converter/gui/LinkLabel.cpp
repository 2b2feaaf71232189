#include "converter/gui/LinkLabel.h"

#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <thread>

#include "utilities/ui/LaunchBrowser.h"

CLinkLabel::CLinkLabel(const std::string& text, const std::string& target, QWidget* parent)
    : QLabel(parent) {
  setObjectName("link");
  setMouseTracking(true);
  QFontMetrics m(font());
  link_.Attach(text.c_str(), target.c_str(), m.horizontalAdvance(QString::fromStdString(text)),
               m.height());
  setToolTip(QString::fromStdString(target));
  Measure();
}

void CLinkLabel::Measure() {
  QFontMetrics m(font());
  int width = m.horizontalAdvance(QString::fromUtf8(link_.GetText()));
  link_.SetTextExtent(width, m.height());
  setMinimumSize(width + 2, m.height() + CLinkControl::kBelowText + 1);
}

void CLinkLabel::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) Measure();
  QLabel::changeEvent(event);
}

bool CLinkLabel::Hits(const QPoint& point) const {
  return link_.MouseOver({point.x(), point.y()}, {0, 0}) != 0;
}

void CLinkLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setPen(QColor(0, 0, 255));
  QFontMetrics m(font());
  QString text = QString::fromUtf8(link_.GetText());
  p.drawText(0, m.ascent(), text);
  p.drawLine(0, m.height(), m.horizontalAdvance(text), m.height());
}

void CLinkLabel::mouseMoveEvent(QMouseEvent* event) {
  setCursor(Hits(event->position().toPoint()) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

// Started beside the window's thread, which must not wait for the browser.
void CLinkLabel::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !Hits(event->position().toPoint())) return;
  std::string target = link_.GetLink();
  if (!target.empty()) std::thread([target] { LaunchBrowser(target.c_str()); }).detach();
}
