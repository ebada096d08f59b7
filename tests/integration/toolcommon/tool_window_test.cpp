// The tool-window base and the run helper: a close during a run, the browser's input
// gate however a run ends, and the closing work at process end.

#include <gtest/gtest.h>

#include <QApplication>
#include <QTimer>

#include "offline_context.h"
#include "platform/browser_view.h"
#include "platform/waits.h"
#include "tools/common/run_mode.h"
#include "tools/common/tool_window.h"

using tools::ToolRun;
using tools::ToolWindow;

namespace {

class CountingWindow : public ToolWindow {
 public:
  explicit CountingWindow(tools::ToolContext& ctx, int* closings) : ToolWindow(ctx), closings_(closings) {}
  ~CountingWindow() override { shut_down(); }

 protected:
  void on_closing() override { ++*closings_; }

 private:
  int* closings_;
};

void drain() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
  }
}

class ToolWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::set_wait_scale(0.05); }
  void TearDown() override { platform::set_wait_scale(1.0); }
  testsupport::OfflineContext ctx_{"/tmp"};
  int closings_ = 0;
};

}  // namespace

TEST_F(ToolWindowTest, CloseDuringARunEndsItAtTheNextWaitAndDeletesTheWindowAfterwards) {
  QPointer<CountingWindow> w = new CountingWindow(ctx_, &closings_);
  w->show();
  bool second_wait = true, touched_after = false;
  QTimer::singleShot(20, w, [&] { w->close(); });
  {
    ToolRun run(w);
    EXPECT_TRUE(w->running());
    run.wait(2000);  // the close arrives during this wait
    EXPECT_FALSE(run.alive());
    EXPECT_TRUE(run.window_exists());  // not deleted while on the stack
    drain();
    EXPECT_FALSE(w.isNull());
    second_wait = run.wait(1000);
    touched_after = w->closing();
  }
  EXPECT_FALSE(second_wait);
  EXPECT_TRUE(touched_after);
  EXPECT_EQ(closings_, 1);
  drain();
  EXPECT_TRUE(w.isNull());
}

TEST_F(ToolWindowTest, NestedRunsKeepTheWindowUntilTheOutermostReturns) {
  QPointer<CountingWindow> w = new CountingWindow(ctx_, &closings_);
  w->show();
  {
    ToolRun outer(w);
    {
      ToolRun inner(w);
      w->close();
      EXPECT_FALSE(inner.wait(10));
    }
    drain();
    EXPECT_FALSE(w.isNull());
    EXPECT_FALSE(outer.alive());
  }
  drain();
  EXPECT_TRUE(w.isNull());
  EXPECT_EQ(closings_, 1);
}

TEST_F(ToolWindowTest, ACloseWithoutRunDeletesAtOnceAndDeletionRunsTheClosingWorkOnce) {
  QPointer<CountingWindow> a = new CountingWindow(ctx_, &closings_);
  a->show();
  a->close();
  drain();
  EXPECT_TRUE(a.isNull());
  EXPECT_EQ(closings_, 1);
  auto* b = new CountingWindow(ctx_, &closings_);
  delete b;
  EXPECT_EQ(closings_, 2);
}

TEST_F(ToolWindowTest, ShutDownAllRunsEveryOpenWindowsClosingWorkOnce) {
  int other = 0;
  auto* a = new CountingWindow(ctx_, &closings_);
  auto* b = new CountingWindow(ctx_, &other);
  ToolWindow::shut_down_all();
  ToolWindow::shut_down_all();
  EXPECT_EQ(closings_, 1);
  EXPECT_EQ(other, 1);
  a->close();  // closing again does not repeat the work
  delete b;
  drain();
  EXPECT_EQ(closings_, 1);
  EXPECT_EQ(other, 1);
}

TEST_F(ToolWindowTest, BrowserInputComesBackHoweverTheRunEnds) {
  platform::BrowserView view;
  auto* w = new CountingWindow(ctx_, &closings_);
  {
    ToolRun run(w, &view);
    run.disable_browser_input();
    EXPECT_FALSE(view.input_enabled());
  }
  EXPECT_TRUE(view.input_enabled());

  // Handed over to the window: off after the run, back when the window closes.
  {
    ToolRun run(w, &view);
    run.disable_browser_input();
    run.keep_browser_disabled();
  }
  EXPECT_FALSE(view.input_enabled());
  {
    ToolRun later(w, &view);  // a later run takes it over and gives it back
    later.disable_browser_input();
  }
  EXPECT_TRUE(view.input_enabled());
  {
    ToolRun run(w, &view);
    run.disable_browser_input();
    run.keep_browser_disabled();
  }
  EXPECT_FALSE(view.input_enabled());
  w->close();
  EXPECT_TRUE(view.input_enabled());
  drain();

  // A run on another kind of window (the main window) is alive while it exists.
  QWidget plain;
  {
    ToolRun run(&plain, &view);
    run.disable_browser_input();
    EXPECT_TRUE(run.wait(1));
  }
  EXPECT_TRUE(view.input_enabled());
}

TEST_F(ToolWindowTest, TheTitleShowsFastModeWhileItIsOn) {
  QPointer<CountingWindow> w = new CountingWindow(ctx_, &closings_);
  w->setWindowTitle(QStringLiteral("主窗口-工具"));
  tools::RunMode::set_fast(true);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("主窗口-工具（快速）"));
  w->setWindowTitle(QStringLiteral("主窗口-工具二"));  // a title set later gets it too
  EXPECT_EQ(w->windowTitle(), QStringLiteral("主窗口-工具二（快速）"));
  {
    ToolRun run(w);
    EXPECT_TRUE(run.fast());
    tools::RunMode::set_fast(false);  // a run keeps the mode it began in
    EXPECT_TRUE(run.fast());
  }
  EXPECT_EQ(w->windowTitle(), QStringLiteral("主窗口-工具二"));
  delete w;
}
