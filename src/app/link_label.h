#pragma once
// A hyperlink-style label: underlined, hand cursor, clicked on a left press.

#include <QLabel>
#include <QMouseEvent>

namespace app {

class LinkLabel : public QLabel {
  Q_OBJECT
 public:
  explicit LinkLabel(QWidget* parent = nullptr) : QLabel(parent) {
    setCursor(Qt::PointingHandCursor);
    setStyleSheet(QStringLiteral("QLabel { color: #0645ad; text-decoration: underline; }"));
    setMinimumHeight(18);
  }

 signals:
  void clicked();

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton) emit clicked();
    QLabel::mousePressEvent(event);
  }
};

}  // namespace app
