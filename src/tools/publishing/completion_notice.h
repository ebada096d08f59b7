#pragma once
// The small window that ends a run; a click anywhere closes it.

#include <QWidget>

class QLabel;

namespace tools::publishing {

class CompletionNotice : public QWidget {
  Q_OBJECT
 public:
  explicit CompletionNotice(QWidget* parent = nullptr);
  static const QString& text();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLabel* label_ = nullptr;
};

}  // namespace tools::publishing
