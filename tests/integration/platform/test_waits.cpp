// The responsive wait and the blocking pause: which events each lets through.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/waits.h"
#include "x_input.h"

namespace {

void x_click(QWidget* w, QPoint local) { ASSERT_TRUE(testsupport::x_click(w, local)); }

struct ScaleGuard {
  ~ScaleGuard() { platform::set_wait_scale(1.0); }
};

}  // namespace

TEST(Waits, ResponsiveWaitProcessesEverythingForItsDuration) {
  QPushButton button("b");
  button.resize(120, 40);
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });
  bool timer_fired = false;
  QTimer::singleShot(20, [&] { timer_fired = true; });

  x_click(&button, QPoint(60, 20));
  QElapsedTimer t;
  t.start();
  platform::wait_responsive(300);
  EXPECT_GE(t.elapsed(), 295);
  EXPECT_TRUE(timer_fired);
  EXPECT_EQ(clicks, 1);
}

TEST(Waits, BlockingPauseHoldsUserInputUntilItEnds) {
  QPushButton button("b");
  button.resize(120, 40);
  button.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
  platform::wait_responsive(50);
  int clicks = 0;
  QObject::connect(&button, &QPushButton::clicked, [&] { ++clicks; });

  int ticks = 0;
  int clicks_seen_by_timer = -1;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ++ticks;
    clicks_seen_by_timer = clicks;
  });
  timer.start(20);
  bool posted_delivered = false;
  QTimer::singleShot(0, [&] { posted_delivered = true; });

  x_click(&button, QPoint(60, 20));
  QElapsedTimer t;
  t.start();
  platform::pause_blocking(400);
  EXPECT_GE(t.elapsed(), 395);
  EXPECT_GE(ticks, 5);                 // timers keep running
  EXPECT_EQ(clicks_seen_by_timer, 0);  // the click is held back during the pause
  EXPECT_EQ(clicks, 0);
  EXPECT_TRUE(posted_delivered);

  // ...and acts at the next responsive wait.
  platform::wait_responsive(200);
  EXPECT_EQ(clicks, 1);
}

TEST(Waits, ScaleShortensEveryWait) {
  ScaleGuard guard;
  platform::set_wait_scale(0.05);
  EXPECT_DOUBLE_EQ(platform::wait_scale(), 0.05);
  QElapsedTimer t;
  t.start();
  platform::wait_responsive(2000);
  platform::pause_blocking(2000);
  EXPECT_LT(t.elapsed(), 1500);
  EXPECT_GE(t.elapsed(), 195);
  // Zero and negative waits return at once.
  platform::set_wait_scale(1.0);
  t.restart();
  platform::wait_responsive(0);
  platform::pause_blocking(-5);
  EXPECT_LT(t.elapsed(), 200);
}
