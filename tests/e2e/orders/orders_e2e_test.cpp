// The order watch against the demo back office, in process: a real browser on the
// demo's manual order list, real post-backs; the timer and the waits shortened, the line
// fast or slow, pages that do not come.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "demo_suite.h"
#include "page/confirmer.h"
#include "platform/dialogs.h"
#include "platform/waits.h"
#include "product_list_demo.h"
#include "qt_test_hooks.h"
#include "tools/common/tool_window.h"
#include "tools/orders/open_orders.h"
#include "tools/orders/orders_window.h"

using tools::orders::OrdersWindow;

using harness::demo;
using harness::kDemoRoot;

void tessaro_test_before_app(std::vector<std::string>& args) {
  harness::start_demo(args, {"--complaints", "0", "--orders", "0", "--order-every", "0"});
}

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

const char* kListPath = "/SelfProduct/ManualOrderList.aspx";

QJsonArray treatments() { return harness::recorded("order_treatments"); }

// The last click of a cycle posts the batch form: the demo records it a moment later.
QJsonArray treatments_once(int count, int timeout_ms = 10000) {
  harness::wait_until([&] { return treatments().size() >= count; }, timeout_ms);
  return treatments();
}

QStringList orders_of(const QJsonValue& treatment) {
  QStringList out;
  for (const QJsonValue& v : treatment.toObject()["orders"].toArray()) out << v.toString();
  return out;
}

class Orders : public harness::ConfirmedDemoSuite<OrdersWindow> {
 protected:
  Orders() : ConfirmedDemoSuite({.wait_scale = 0.1}) {}

  static void add(int count, bool ticked = false) {
    demo().post("/demo/orders/add", "count=" + std::to_string(count) + (ticked ? "&ticked=1" : ""));
  }

  // The supplier opens the manual order list, then the window.
  static OrdersWindow* open() {
    if (!harness::load(ctx_->main_browser(), QString(kDemoRoot) + kListPath)) return nullptr;
    tools::orders::open_orders(*ctx_);
    return harness::top_level<OrdersWindow>();
  }

  // Waits until count cycles finished.
  static bool cycles_done(OrdersWindow* w, int count, int timeout_ms = 60000) {
    int done = 0;
    QMetaObject::Connection c = QObject::connect(w, &OrdersWindow::cycle_finished, [&](int) { ++done; });
    const bool ok = harness::wait_until([&] { return done >= count; }, timeout_ms);
    QObject::disconnect(c);
    return ok;
  }
};

TEST_F(Orders, TheWindowOpensIdleWithTheDesignedControls) {
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillory-TessaroV4.3正式版-订单自动处理"));
  EXPECT_EQ(c.instruction->text(),
            QStringLiteral("请务必点击网页中的“手工订单列表”，等待出现手动订单列表页面后，即可操作本软件"));
  EXPECT_TRUE(c.target[0]->isChecked());
  EXPECT_EQ(c.target[0]->text(), QStringLiteral("处理中"));
  EXPECT_EQ(c.target[1]->text(), QStringLiteral("充值成功"));
  EXPECT_EQ(c.target[2]->text(), QStringLiteral("取消充值"));
  EXPECT_EQ(c.message->text(), QStringLiteral("亲！您好，你的订单正在处理中！请稍后哦，我们正在给您发货！"));
  EXPECT_EQ(c.message->accessibleName(), QStringLiteral("返回信息:"));
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());
  EXPECT_EQ(c.interval_note->text(), QStringLiteral("软件默认60秒检查一次，请无需担心！"));
  EXPECT_FALSE(w->timer()->isActive());
  EXPECT_EQ(w->parentWidget(), nullptr);
  EXPECT_TRUE(w->testAttribute(Qt::WA_DeleteOnClose));
  for (QLabel* l : w->findChildren<QLabel*>()) {
    if (l->text() == QStringLiteral("返回信息:")) {
      EXPECT_EQ(l->buddy(), c.message);
    }
  }
  // Reopening restores the initial choice and message.
  c.target[2]->setChecked(true);
  c.message->setText("x");
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  w = open();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(w->controls().target[0]->isChecked());
  EXPECT_EQ(w->controls().message->text(), QStringLiteral("亲！您好，你的订单正在处理中！请稍后哦，我们正在给您发货！"));
}

// The line the platform answers on: as fast as it goes, or slower than every step's
// prescribed wait (up to 100 ms with the wait scale), with jitter.
struct Line {
  const char* name;
  int latency_ms, jitter_ms;
  bool both_modes = false;  // the work paced, then in fast mode: the same records but the
                            // count of cycles the stop let begin
};

class OrdersOnALine : public Orders, public ::testing::WithParamInterface<Line> {};

TEST_P(OrdersOnALine, TheFirstCycleComesOneIntervalAfterStartAndTreatsEveryListedOrder) {
  paced_and_fast(GetParam().both_modes, 0.05, [&] {
    add(3);
    OrdersWindow* w = open();
    ASSERT_NE(w, nullptr);
    set_latency(GetParam().latency_ms, GetParam().jitter_ms);
    platform::set_wait_scale(0.05);  // interval 500 ms
    QElapsedTimer clock;
    qint64 first_at = -1;
    QObject::connect(w, &OrdersWindow::cycle_started, [&] {
      if (first_at < 0) first_at = clock.elapsed();
    });
    clock.start();
    QTest::mouseClick(w->controls().start, Qt::LeftButton);
    EXPECT_FALSE(w->controls().start->isEnabled());
    EXPECT_TRUE(w->controls().stop->isEnabled());
    EXPECT_EQ(w->timer()->interval(), 500);
    EXPECT_EQ(w->cycles(), 0);
    ASSERT_TRUE(cycles_done(w, 1));
    EXPECT_GE(first_at, 450);
    QTest::mouseClick(w->controls().stop, Qt::LeftButton);
    EXPECT_FALSE(w->timer()->isActive());
    EXPECT_TRUE(w->controls().start->isEnabled());
    EXPECT_FALSE(w->controls().stop->isEnabled());
    const QJsonArray t = treatments_once(1);
    ASSERT_GE(t.size(), 1);
    EXPECT_EQ(orders_of(t[0]), (QStringList{"M20240001", "M20240002", "M20240003"}));
    EXPECT_EQ(t[0].toObject()["radio"].toString(), "RadioButton2");
    EXPECT_EQ(t[0].toObject()["status"].toString(), QStringLiteral("处理中"));
    EXPECT_EQ(t[0].toObject()["message"].toString(),
              QStringLiteral("亲！您好，你的订单正在处理中！请稍后哦，我们正在给您发货！"));
    // "Manual" reloaded the list once per cycle (a cycle under way finishes first).
    ASSERT_TRUE(harness::wait_until([&] { return !w->cycle_running(); }, 10000));
    EXPECT_GE(w->cycles(), 1);
    EXPECT_EQ(harness::demo_state()["order_manual_reloads"].toInt(), w->cycles());
    // Each order was treated once, by the first cycle; its journal item holds the answer.
    EXPECT_EQ(treatments().size(), 1);
    std::vector<tools::journal::ItemRow> items;
    ASSERT_TRUE(last_run(&items).has_value());
    ASSERT_GE(items.size(), 1u);
    EXPECT_EQ(items[0].answer.value_or(""), "批量处理成功！共处理3个订单。");
    EXPECT_FALSE(items[0].problem) << *items[0].problem;
    EXPECT_TRUE(w->controls().status->text().endsWith(QStringLiteral("检查完毕：勾选3个订单，已提交批量处理")) ||
                w->cycles() > 1)
        << w->controls().status->text().toStdString();
  }, {"order_manual_reloads"});
}

INSTANTIATE_TEST_SUITE_P(Lines, OrdersOnALine, ::testing::Values(Line{"FastBothModes", 0, 0, true}, Line{"Slow", 200, 50}),
                         [](const auto& info) { return std::string(info.param.name); });

// Pages that do not come in the first cycle: the cycle is not done and recorded, the
// watch goes on; with no order list left to reload it ends, and the login page ends it at
// once. Either way the window is idle again.
struct Miss {
  const char* name;
  const char* kind;
  int after;                          // post-backs of the list let through first
  const char* ending;                 // the journal's run
  std::vector<const char*> problems;  // the start of each cycle's problem
};

class OrderMisses : public Orders, public ::testing::WithParamInterface<Miss> {};

TEST_P(OrderMisses, ACycleWhosePageDoesNotComeIsNotDoneAndTheWatchEndsWithoutTheList) {
  const Miss& m = GetParam();
  const bool login = std::string(m.kind) == "expire";
  add(2);
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  platform::set_wait_scale(0.05);  // interval 500 ms, page limit 1.5 s
  demo().post("/demo/fault", "kind=" + std::string(m.kind) + "&path=" + testsupport::url_encode(kListPath) +
                                 "&after=" + std::to_string(m.after));
  QString box;
  harness::BoxAnswer answer(platform::kTitleHint, &box);
  // Ticks that come while the first cycle waits for its page (the timer's own do not
  // come while its cycle runs).
  QObject::connect(w, &OrdersWindow::cycle_started, w, [w] {
    if (w->cycles() == 1)
      for (int ms : {20, 150, 300})
        QTimer::singleShot(ms, w, [w] {
          if (w->cycle_running()) w->tick();
        });
  });
  QTest::mouseClick(w->controls().start, Qt::LeftButton);
  ASSERT_TRUE(harness::wait_until([&] { return w->controls().start->isEnabled() && !w->cycle_running(); }, 30000));
  EXPECT_FALSE(w->timer()->isActive());
  EXPECT_FALSE(w->controls().stop->isEnabled());
  EXPECT_EQ(treatments().size(), 0);
  std::vector<tools::journal::ItemRow> items;
  const auto run = last_run(&items);
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ(run->ending, m.ending);
  ASSERT_EQ(items.size(), m.problems.size());
  for (std::size_t i = 0; i < items.size(); ++i)
    EXPECT_EQ(items[i].problem.value_or("").rfind(m.problems[i], 0), 0u) << i << ": " << items[i].problem.value_or("");
  EXPECT_EQ(w->controls().status->text().toStdString(), items.back().problem.value_or(""));
  // Ticks during a page wait start no second cycle.
  EXPECT_EQ(w->cycles(), static_cast<int>(m.problems.size()));
  if (!login) {
    EXPECT_GE(w->skipped_ticks(), 3);
  }
  if (login) {
    ASSERT_TRUE(harness::wait_until([&] { return answer.answered() > 0; }, 5000));
    EXPECT_EQ(box, tools::login_expired_text());
    ASSERT_TRUE(harness::log_in(ctx_->main_browser(), kDemoRoot));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, OrderMisses,
    ::testing::Values(
        // "Manual" passes; btnBatch brings an error page: no list for the next cycle.
        Miss{"AnErrorPageInsteadOfTheBatchForm", "error", 1, "page_not_ready",
             {"页面未就绪：应为批量处理表单（txtMsg，BtnCheck，RadioButton2）", "页面上没有“手工订单列表”控件 Manual"}},
        Miss{"ABatchFormThatNeverLoads", "hang", 1, "page_not_ready",
             {"页面未就绪：应为批量处理表单", "页面上没有“手工订单列表”控件 Manual"}},
        Miss{"TheLoginPageInsteadOfTheReloadedList", "expire", 0, "login_expired",
             {"登录已失效，请在主程序重新登录"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Orders, EachTargetChecksItsRadioAndAnEditedMessageCountsFromTheNextCycle) {
  add(2);
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  QTest::mouseClick(c.target[2], Qt::LeftButton);  // 取消充值
  c.message->setText(QStringLiteral("已取消"));
  QTest::mouseClick(c.start, Qt::LeftButton);
  ASSERT_TRUE(cycles_done(w, 1));
  // Cancelled orders leave the list: new ones for the next cycle.
  add(2);
  QTest::mouseClick(c.target[1], Qt::LeftButton);  // 充值成功
  c.message->setText(QStringLiteral("已到账"));
  ASSERT_TRUE(cycles_done(w, 1));
  QTest::mouseClick(c.stop, Qt::LeftButton);
  const QJsonArray t = treatments_once(2);
  ASSERT_GE(t.size(), 2);
  EXPECT_EQ(t[0].toObject()["radio"].toString(), "RadioButton3");
  EXPECT_EQ(t[0].toObject()["message"].toString(), QStringLiteral("已取消"));
  EXPECT_EQ(orders_of(t[0]), (QStringList{"M20240001", "M20240002"}));
  EXPECT_EQ(t[1].toObject()["radio"].toString(), "RadioButton1");
  EXPECT_EQ(t[1].toObject()["message"].toString(), QStringLiteral("已到账"));
  EXPECT_EQ(orders_of(t[1]), (QStringList{"M20240003", "M20240004"}));
  // One journal item per cycle: its time, the boxes ticked, the status, the message.
  std::vector<tools::journal::ItemRow> items;
  const auto run = last_run(&items);
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ(run->tool, "订单自动处理");
  EXPECT_EQ(run->ending, "stopped");
  ASSERT_GE(items.size(), 2u);
  EXPECT_EQ(items[0].detail, "勾选2个订单，置为取消充值，返回信息：已取消");
  EXPECT_EQ(items[1].detail, "勾选2个订单，置为充值成功，返回信息：已到账");
  EXPECT_EQ(items[0].key.size(), std::string("2024-01-01 00:00:00.000").size());
  EXPECT_EQ(items[0].answer.value_or(""), "批量处理成功！共处理2个订单。");
}

TEST_F(Orders, AMessageEditedAfterACycleIsUsedByTheNextOne) {
  add(1);
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  c.message->setText("first");
  // Edited as soon as the first cycle is through.
  QObject::connect(w, &OrdersWindow::cycle_finished, [&] { c.message->setText("second"); });
  QTest::mouseClick(c.start, Qt::LeftButton);
  ASSERT_TRUE(cycles_done(w, 2));
  QTest::mouseClick(c.stop, Qt::LeftButton);
  const QJsonArray t = treatments_once(2);
  ASSERT_GE(t.size(), 2);
  EXPECT_EQ(t[0].toObject()["message"].toString(), "first");
  EXPECT_EQ(t[1].toObject()["message"].toString(), "second");
}

TEST_F(Orders, StopDuringACycleLetsItFinishAndStartsNoOther) {
  add(2);
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  QObject::connect(w, &OrdersWindow::cycle_started, [&] {
    QTimer::singleShot(50, [&] { QTest::mouseClick(c.stop, Qt::LeftButton); });
  });
  QTest::mouseClick(c.start, Qt::LeftButton);
  ASSERT_TRUE(cycles_done(w, 1));
  EXPECT_FALSE(w->timer()->isActive());
  QTest::qWait(3 * w->timer()->interval() + 200);
  EXPECT_EQ(w->cycles(), 1);
  EXPECT_EQ(treatments().size(), 1);
  EXPECT_TRUE(c.start->isEnabled());
  // The run ended with its one cycle, not before.
  std::vector<tools::journal::ItemRow> items;
  const auto run = last_run(&items);
  ASSERT_TRUE(run.has_value());
  EXPECT_EQ(run->ending, "stopped");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_NE(items[0].ended_ms, -1);
  EXPECT_EQ(items[0].detail, "勾选2个订单，置为处理中，返回信息：亲！您好，你的订单正在处理中！请稍后哦，我们正在给您发货！");
}

TEST_F(Orders, StopAndStartDuringACycleKeepItInItsOwnRunAndTheNewRunBeginsWithTheNextCycle) {
  add(2);
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  int started = 0;
  QObject::connect(w, &OrdersWindow::cycle_started, [&] {
    if (++started == 1)
      QTimer::singleShot(50, [&] {
        QTest::mouseClick(c.stop, Qt::LeftButton);
        QTest::mouseClick(c.start, Qt::LeftButton);
      });
  });
  QTest::mouseClick(c.start, Qt::LeftButton);
  ASSERT_TRUE(cycles_done(w, 2));
  QTest::mouseClick(c.stop, Qt::LeftButton);
  EXPECT_EQ(treatments_once(2).size(), 2);
  const std::string detail = "勾选2个订单，置为处理中，返回信息：亲！您好，你的订单正在处理中！请稍后哦，我们正在给您发货！";
  const auto runs = journal_runs();  // newest first
  ASSERT_EQ(runs.size(), 2u);
  // The first run holds the cycle that was under way, with its detail and the platform's answer.
  const auto first = journal_items(runs[1]);
  EXPECT_EQ(runs[1].ending, "stopped");
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].detail, detail);
  EXPECT_EQ(first[0].answer.value_or(""), "批量处理成功！共处理2个订单。");
  // The new run begins with the next cycle.
  const auto second = journal_items(runs[0]);
  EXPECT_EQ(runs[0].ending, "stopped");
  ASSERT_GE(second.size(), 1u);
  EXPECT_EQ(second[0].detail, detail);
  EXPECT_GT(second[0].key, first[0].key);
}

TEST_F(Orders, BoxesAlreadyTickedAreToggledOff) {
  add(1);
  add(1, true);
  add(1);
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  QTest::mouseClick(w->controls().start, Qt::LeftButton);
  ASSERT_TRUE(cycles_done(w, 1));
  QTest::mouseClick(w->controls().stop, Qt::LeftButton);
  const QJsonArray t = treatments_once(1);
  ASSERT_GE(t.size(), 1);
  EXPECT_EQ(orders_of(t[0]), (QStringList{"M20240001", "M20240003"}));
}

TEST_F(Orders, AnEmptyListStillOpensTheBatchAndThePlatformsRefusalEndsTheCycle) {
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  QList<int> ticked, objects;
  QObject::connect(w, &OrdersWindow::cycle_finished, [&](int n) {
    ticked << n;
    objects << harness::object_census();
  });
  QTest::mouseClick(w->controls().start, Qt::LeftButton);
  ASSERT_TRUE(cycles_done(w, 3));
  QTest::mouseClick(w->controls().stop, Qt::LeftButton);
  ASSERT_TRUE(harness::wait_until([&] { return !w->cycle_running(); }));
  EXPECT_EQ(ticked, (QList<int>{0, 0, 0}));
  // A watch runs all day: a cycle and its message box leave no object behind.
  ASSERT_EQ(objects.size(), 3);
  EXPECT_EQ(objects[2], objects[1]) << objects[0];
  EXPECT_EQ(treatments().size(), 0);
  EXPECT_GE(harness::demo_state()["order_batch_refusals"].toInt(), 3);
  // No batch form came, so there was nothing to confirm: the cycle is done, with the
  // platform's refusal as its answer. Quiet cycles in a row are one item with their count.
  std::vector<tools::journal::ItemRow> items;
  ASSERT_TRUE(harness::wait_until([&] { return last_run(&items).has_value() && !last_run()->ending.empty(); }));
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].repeats, 3);
  EXPECT_EQ(items[0].detail, "勾选0个订单，批量处理未打开");
  EXPECT_EQ(items[0].answer.value_or(""), "请先选择要处理的订单！");
  EXPECT_EQ(items[0].boxes.size(), 1u);
  EXPECT_FALSE(items[0].problem) << *items[0].problem;
}

TEST_F(Orders, FiveHundredOrdersMakeALongCycleAndItsTicksStartNothing) {
  add(500);
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  platform::set_wait_scale(0.02);  // interval 200 ms, far shorter than 500 ticks take
  int running = 0, most = 0, ticked = 0;
  QObject::connect(w, &OrdersWindow::cycle_started, [&] {
    most = std::max(most, ++running);
    // Ticks that come while the cycle works through the boxes.
    for (int ms : {1, 20, 60}) QTimer::singleShot(ms, w, &OrdersWindow::tick);
  });
  QObject::connect(w, &OrdersWindow::cycle_finished, [&](int n) {
    --running;
    ticked = n;
  });
  QTest::mouseClick(w->controls().start, Qt::LeftButton);
  ASSERT_TRUE(cycles_done(w, 1, 240000));
  QTest::mouseClick(w->controls().stop, Qt::LeftButton);
  EXPECT_EQ(most, 1);
  EXPECT_EQ(ticked, 500);
  EXPECT_GE(w->skipped_ticks(), 3);
  const QJsonArray t = treatments_once(1);
  ASSERT_GE(t.size(), 1);
  EXPECT_EQ(orders_of(t[0]).size(), 500);
}

TEST_F(Orders, ClosingTheWindowOrTheApplicationDuringACycleEndsItQuietly) {
  add(2);
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  QPointer<OrdersWindow> guard(w);
  QObject::connect(w, &OrdersWindow::cycle_started, [&] {
    QTimer::singleShot(30, [&] {
      if (guard) guard->close();
    });
  });
  QTest::mouseClick(w->controls().start, Qt::LeftButton);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 30000));
  QTest::qWait(1500);
  EXPECT_EQ(treatments().size(), 0);

  // What the main window does when it closes: every tool window's closing work.
  w = open();
  ASSERT_NE(w, nullptr);
  guard = w;
  bool shut = false;
  QObject::connect(w, &OrdersWindow::cycle_started, [&] {
    QTimer::singleShot(30, [&] {
      tools::ToolWindow::shut_down_all();
      shut = true;
    });
  });
  QTest::mouseClick(w->controls().start, Qt::LeftButton);
  ASSERT_TRUE(harness::wait_until([&] { return shut; }, 30000));
  EXPECT_FALSE(w->timer()->isActive());
  QTest::qWait(1500);
  EXPECT_LE(w->cycles(), 1);
  w->close();
}

// Writes the guide's screenshot when TESSARO_SCREENSHOT_DIR is set.
TEST_F(Orders, Screenshots) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  add(3);
  OrdersWindow* w = open();
  ASSERT_NE(w, nullptr);
  // Watching, after the first round.
  QTest::mouseClick(w->controls().start, Qt::LeftButton);
  ASSERT_TRUE(cycles_done(w, 1));
  QTest::qWait(300);
  EXPECT_TRUE(w->grab().save(QString::fromUtf8(out) + "/orders.png"));
  QTest::mouseClick(w->controls().stop, Qt::LeftButton);
}

}  // namespace
