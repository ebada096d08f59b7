#include "page/confirmer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QMouseEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include "platform/script_boxes.h"

namespace page {
namespace {

// The one watch pattern of the process: title + "|" + caption.
QString g_pattern = QStringLiteral("Microsoft Internet Explorer|确定");

// The confirm timer of an owner is its child with this name (one per owner: a new start
// replaces its period, a stop deletes it, and it dies with the owner).
const QString kTimerName = QStringLiteral("tessaro_confirm_timer");

QTimer* owner_timer(QWidget* owner) {
  if (!owner) return nullptr;
  return owner->findChild<QTimer*>(kTimerName, Qt::FindDirectChildrenOnly);
}

void post_click(QAbstractButton* button) {
  const QPointF local(5, 5);
  const QPointF global = button->mapToGlobal(QPoint(5, 5));
  QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseMove, local, global,
                                                      Qt::NoButton, Qt::NoButton,
                                                      Qt::NoModifier));
  QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, local, global,
                                                      Qt::LeftButton, Qt::LeftButton,
                                                      Qt::NoModifier));
  QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, local, global,
                                                      Qt::LeftButton, Qt::NoButton,
                                                      Qt::NoModifier));
}

}  // namespace

void confirm_web_dialogs(QWidget* owner, const QString& title, const QString& caption, bool stop,
                         int period_ms) {
  if (stop) {
    delete owner_timer(owner);
    return;
  }
  const QString t = title.isEmpty() ? QStringLiteral("Microsoft Internet Explorer") : title;
  const QString c = caption.isEmpty() ? QStringLiteral("确定") : caption;
  g_pattern = t + u'|' + c;
  if (!owner) return;
  const int period = period_ms < 50 ? kDefaultConfirmPeriod : period_ms;
  QTimer* timer = owner_timer(owner);
  if (!timer) {
    timer = new QTimer(owner);
    timer->setObjectName(kTimerName);
    QObject::connect(timer, &QTimer::timeout, timer, [] { confirm_tick(); });
  }
  timer->start(period);
}

QString confirm_watch_pattern() { return g_pattern; }

int confirm_period(QWidget* owner) {
  QTimer* timer = owner_timer(owner);
  return timer && timer->isActive() ? timer->interval() : 0;
}

bool confirm_tick() {
  const qsizetype first = g_pattern.indexOf(u'|');
  const qsizetype last = g_pattern.lastIndexOf(u'|');
  const QString title = first < 0 ? g_pattern : g_pattern.left(first);
  const QString caption = last < 0 ? QString() : g_pattern.mid(last + 1);

  const QWidgetList windows = QApplication::topLevelWidgets();
  for (QWidget* w : windows) {
    if (!w->isVisible() || !qobject_cast<QDialog*>(w) || w->windowTitle() != title) continue;
    // The first dialog with that title is the one handled on this tick.
    const auto buttons = w->findChildren<QAbstractButton*>();
    for (QAbstractButton* b : buttons) {
      if (b->window() != w) continue;  // a button of a dialog nested inside this one
      if (platform::shown_caption(b->text()) == caption) {
        platform::ScriptBoxes::mark_automated_click(b);
        post_click(b);
        return true;
      }
    }
    return false;
  }
  return false;
}

}  // namespace page
