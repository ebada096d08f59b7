#pragma once
// Answers the next visible message box from a timer: records its title and text and
// clicks the button with the given caption.

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <memory>

struct SeenBox {
  bool seen = false;
  QString title;
  QString text;
};

// Polls every 20 ms until a box is found (or until stopped by deleting the timer).
inline std::unique_ptr<QTimer> answer_next_box(const QString& button, SeenBox* seen) {
  auto timer = std::make_unique<QTimer>();
  QTimer* t = timer.get();
  t->setInterval(20);
  QObject::connect(t, &QTimer::timeout, [t, button, seen] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible()) continue;
      for (QAbstractButton* b : box->buttons()) {
        if (b->text() != button) continue;
        seen->seen = true;
        seen->title = box->windowTitle();
        seen->text = box->text();
        t->stop();
        b->click();
        return;
      }
    }
  });
  t->start();
  return timer;
}
