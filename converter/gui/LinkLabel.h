// A text that opens its target in the browser when clicked: blue,
// underlined, with the hand cursor over the text (and just below it).
#pragma once

#include <QLabel>
#include <string>

#include "utilities/ui/LinkControl.h"

class CLinkLabel : public QLabel {
  Q_OBJECT

 public:
  CLinkLabel(const std::string& text, const std::string& target, QWidget* parent = nullptr);
  const CLinkControl& Link() const { return link_; }
  // Whether a point of the label lies on the link.
  bool Hits(const QPoint& point) const;

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void Measure();

  CLinkControl link_;
};
