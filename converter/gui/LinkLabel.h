// A text that opens its target in the browser when clicked: blue,
// underlined, with the hand cursor over the text.
#pragma once

#include <QLabel>
#include <string>

class CLinkLabel : public QLabel {
  Q_OBJECT

 public:
  CLinkLabel(const std::string& text, const std::string& target, QWidget* parent = nullptr);
  const std::string& Target() const { return target_; }
  // Whether a point of the label lies on the link.
  bool Hits(const QPoint& point) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  std::string text_, target_;
};
