#include "platform/waits.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

#include <cmath>

namespace platform {
namespace {

double g_scale = 1.0;

int scaled(int ms) {
  if (ms <= 0) return 0;
  const double v = std::ceil(ms * g_scale);
  return v > 2147483647.0 ? 2147483647 : static_cast<int>(v);
}

// Runs a nested loop with flags until ms have passed. Events that arrive while user
// input is excluded stay queued and are delivered by the next loop that allows them.
void run_loop_for(int ms, QEventLoop::ProcessEventsFlags flags) {
  if (ms <= 0) {
    QCoreApplication::processEvents(flags);
    return;
  }
  QDeadlineTimer deadline(ms, Qt::PreciseTimer);
  while (!deadline.hasExpired()) {
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    // exec() returns early only when something calls exit() on every loop
    // (QCoreApplication::exit); then the wait ends too.
    loop.exec(flags);
    if (timer.isActive()) break;
  }
}

}  // namespace

void wait_responsive(int ms) { run_loop_for(scaled(ms), QEventLoop::AllEvents); }

void pause_blocking(int ms) { run_loop_for(scaled(ms), QEventLoop::ExcludeUserInputEvents); }

void set_wait_scale(double scale) { g_scale = scale < 0 ? 0 : scale; }

double wait_scale() { return g_scale; }

}  // namespace platform
