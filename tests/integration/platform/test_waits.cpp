// The responsive wait and the blocking pause: which events each lets through.
#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "platform/waits.h"

namespace {

// A real click from the window system (through the X server), as a user makes it.
void x_click(QWidget* w, QPoint local) {
  auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
  ASSERT_NE(x11, nullptr);
  xcb_connection_t* c = x11->connection();
  const QPoint in_window = w->mapTo(w->window(), local);
  const auto win = static_cast<xcb_window_t>(w->window()->winId());
  for (int type : {XCB_BUTTON_PRESS, XCB_BUTTON_RELEASE}) {
    xcb_button_press_event_t ev{};
    ev.response_type = static_cast<uint8_t>(type);
    ev.detail = 1;  // left button
    ev.time = XCB_CURRENT_TIME;
    ev.root = 0;
    ev.event = win;
    ev.child = XCB_NONE;
    ev.event_x = static_cast<int16_t>(in_window.x());
    ev.event_y = static_cast<int16_t>(in_window.y());
    const QPoint g = w->mapToGlobal(local);
    ev.root_x = static_cast<int16_t>(g.x());
    ev.root_y = static_cast<int16_t>(g.y());
    ev.state = type == XCB_BUTTON_RELEASE ? XCB_BUTTON_MASK_1 : 0;
    ev.same_screen = 1;
    xcb_send_event(c, 0, win,
                   type == XCB_BUTTON_PRESS ? XCB_EVENT_MASK_BUTTON_PRESS
                                            : XCB_EVENT_MASK_BUTTON_RELEASE,
                   reinterpret_cast<const char*>(&ev));
  }
  xcb_flush(c);
}

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
