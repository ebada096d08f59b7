// The stock deletion window against the demo back office, in process: a real browser,
// the platform's own page function and delete link, its confirmation boxes.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstring>

#include "demo_suite.h"
#include "product_list_demo.h"
#include "page/confirmer.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "tools/stock/open_stock_deletion.h"
#include "tools/stock/stock_window.h"

using tools::stock::StockDeletionWindow;

using harness::demo;
using harness::kDemoRoot;

void tessaro_test_before_app(std::vector<std::string>& args) {
  harness::start_demo(args, {"--products", "2", "--cards", "120"});
}

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

// Cards in stock of a product (-1 when the demo has no entry for it).
int stock(int product) { return harness::cards_in_stock(product); }

// The deletion post-backs the demo answered, as card counts.
QList<int> deletions() {
  QList<int> out;
  for (const QJsonObject& o : harness::recorded_objects("card_deletions")) out << o.value("count").toInt();
  return out;
}

// The line to the platform: its answers delayed by latency ± jitter ms (slow: longer than
// every shortened wait of the steps).
struct Line {
  const char* name;
  int latency_ms;
  int jitter_ms;
  bool both_modes = false;  // the work paced, then in fast mode: the same records
};
const Line kFast{"Fast", 0, 0};
const Line kSlow{"Slow", 500, 150};

class StockDeletion : public harness::DemoSuite<StockDeletionWindow> {
 protected:
  explicit StockDeletion(const Line& line = kFast, double wait_scale = 0.3)
      : DemoSuite({.wait_scale = wait_scale, .latency_ms = line.latency_ms, .jitter_ms = line.jitter_ms}) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DemoSuite::SetUp());
    page::confirm_web_dialogs(ctx_->main_browser(), {}, {}, true);
  }

  // Opens the window and waits until the browser shows the inventory page.
  StockDeletionWindow* open_window() {
    // From a blank page, so that the inventory page is surely the window's own load.
    EXPECT_TRUE(harness::load(ctx_->main_browser(), "about:blank"));
    tools::stock::open_stock_deletion(*ctx_);
    StockDeletionWindow* w = harness::top_level<StockDeletionWindow>();
    EXPECT_NE(w, nullptr);
    const QString inventory = QString::fromStdString(ctx_->address_text()) + "/SelfProduct/SelfProductInventory.aspx";
    EXPECT_TRUE(harness::wait_until([&] { return on_page(inventory); }));
    return w;
  }

  // The browser shows address, completely loaded.
  static bool on_page(const QString& address) {
    return ctx_->main_browser()->url().toString() == address &&
           harness::page_script(ctx_->main_browser(), "document.readyState").toString() == "complete";
  }

  // What the user does after opening: the "管理" link of product 1.
  static bool open_management_page() {
    const QString link = "Array.from(document.links).filter(a => a.textContent == '管理')[0]";
    if (!harness::wait_until([&] { return harness::page_script(ctx_->main_browser(), "!!" + link).toBool(); }))
      return false;
    harness::page_script(ctx_->main_browser(), link + ".click(); true");
    return harness::wait_until([] { return on_page(QString(kDemoRoot) + "/SelfProduct/ProductCardList.aspx?PID=1"); });
  }

  static bool run_until_finished(StockDeletionWindow* w, int timeout_ms = 60000) {
    return harness::click_until(w->controls().start, w, &StockDeletionWindow::deletion_finished, timeout_ms);
  }
};

class StockDeletionOnLine : public StockDeletion, public ::testing::WithParamInterface<Line> {
 protected:
  StockDeletionOnLine() : StockDeletion(GetParam()) {}
};

TEST_F(StockDeletion, OpeningShowsTheInventoryPageAndStartsTheConfirmerWhichOutlivesTheWindow) {
  ctx_->set_address_text(std::string(kDemoRoot) + "/Index.aspx");  // no cut: box text + path
  StockDeletionWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(ctx_->main_browser()->url().toString(), QString(kDemoRoot) + "/Index.aspx/SelfProduct/SelfProductInventory.aspx");
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillory-TessaroV4.3正式版-删除卡密库存"));
  EXPECT_EQ(w->parentWidget(), nullptr);
  EXPECT_FALSE(w->isModal());
  EXPECT_TRUE(w->testAttribute(Qt::WA_DeleteOnClose));
  const auto& c = w->controls();
  EXPECT_EQ(c.instructions[0]->text(),
            QStringLiteral("1、软件已经将网页自动跳转到“卡密商品库存管理页面”\n\n2、点击网页中的“管理”按钮"));
  EXPECT_EQ(c.instructions[1]->text(), QStringLiteral("3、点击“管理”后出现新页面即可开始操作软件"));
  ASSERT_FALSE(c.picture->pixmap().isNull());
  EXPECT_GT(c.picture->pixmap().width(), 100);
  EXPECT_EQ(c.start->text(), QStringLiteral("开始删除"));
  EXPECT_EQ(c.stop->text(), QStringLiteral("停止删除"));
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 700);
  EXPECT_EQ(page::confirm_watch_pattern(), QStringLiteral("来自网页的消息|确定"));
  EXPECT_TRUE(QDir(dir_.path() + "/data").exists());

  QPointer<StockDeletionWindow> guard(w);
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 700);
}

TEST_P(StockDeletionOnLine, EveryPassSelectsAllAndDeletesUntilStopped) {
  paced_and_fast(GetParam().both_modes, 0.3, [&] {
    StockDeletionWindow* w = open_window();
    ASSERT_TRUE(open_management_page());
    const auto& c = w->controls();
    QList<int> passes;
    QObject::connect(w, &StockDeletionWindow::pass_started, [&](int pass) {
      passes << pass;
      if (pass == 1) {
        EXPECT_FALSE(c.start->isEnabled());
        EXPECT_TRUE(c.stop->isEnabled());
        EXPECT_EQ(w->stop_flag(), 0);
      }
      // The 50 + 50 + 20 cards of product 1 are gone after three passes; one more finds none.
      if (pass == 5) QTimer::singleShot(0, c.stop, &QPushButton::click);
    });
    ASSERT_TRUE(run_until_finished(w));
    EXPECT_EQ(passes, (QList<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(w->stop_flag(), 5);
    EXPECT_TRUE(c.start->isEnabled());
    EXPECT_FALSE(c.stop->isEnabled());
    // The stop ends the wait for the last pass's answer (on a slow line still on its way).
    EXPECT_TRUE(harness::wait_until([] { return deletions().size() == 5; }, 5000));
    EXPECT_EQ(stock(1), 0);
    EXPECT_EQ(stock(2), 120);
    EXPECT_EQ(deletions(), (QList<int>{50, 50, 20, 0, 0}));
    // The journal: one item per pass, each with the page's question and answer (the last
    // one's answer unless the stop came first).
    const auto runs = journal_runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].tool, "删除卡密库存");
    EXPECT_EQ(runs[0].ending, "stopped");
    const auto items = store_->items(runs[0].id, {}, 0, 10);
    ASSERT_EQ(items.size(), 5u);
    const char* answers[] = {"成功删除50张卡密！", "成功删除50张卡密！", "成功删除20张卡密！", "请先选择要删除的卡密！",
                             "请先选择要删除的卡密！"};
    for (std::size_t i = 0; i < 5; ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(items[i].key, "第" + std::to_string(i + 1) + "次");
      EXPECT_EQ(items[i].detail, std::string(kDemoRoot) + "/SelfProduct/ProductCardList.aspx?PID=1");
      const std::string answer = std::string("确定要删除选中的卡密吗？") + tools::journal::kAnswerSeparator + answers[i];
      if (i < 4 || !items[i].problem) {
        EXPECT_EQ(items[i].answer.value_or(""), answer);
        EXPECT_FALSE(items[i].problem) << *items[i].problem;
      } else {
        EXPECT_EQ(*items[i].problem, "已停止：未等到平台的应答页面");
      }
    }
    EXPECT_EQ(c.status->text(), QStringLiteral("已停止删除"));
    // The page's confirmation and answer boxes were all pressed.
    EXPECT_TRUE(harness::wait_until([] { return QApplication::activeModalWidget() == nullptr; }, 3000));
    EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  });
}

INSTANTIATE_TEST_SUITE_P(Lines, StockDeletionOnLine, ::testing::Values(Line{"FastBothModes", 0, 0, true}, kSlow),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(StockDeletion, StopActsWithinOneStep) {
  StockDeletionWindow* w = open_window();
  ASSERT_TRUE(open_management_page());
  QObject::connect(w, &StockDeletionWindow::pass_started, [&](int pass) {
    if (pass == 2) QTimer::singleShot(0, w->controls().stop, &QPushButton::click);
  });
  ASSERT_TRUE(run_until_finished(w));
  // Pass 2 was under way: it finishes its steps, and no third pass begins.
  EXPECT_EQ(w->passes(), 2);
  EXPECT_EQ(deletions(), (QList<int>{50, 50}));
  EXPECT_EQ(stock(1), 20);
  // A new start begins again from pass 1.
  QObject::connect(w, &StockDeletionWindow::pass_started, [&](int pass) {
    if (pass == 1) QTimer::singleShot(0, w->controls().stop, &QPushButton::click);
  });
  ASSERT_TRUE(run_until_finished(w));
  EXPECT_EQ(w->passes(), 1);
  EXPECT_EQ(stock(1), 0);
}

TEST_F(StockDeletion, StartPressedWhileTheStoppedPassFinishesRunsOnceThatPassIsDone) {
  StockDeletionWindow* w = open_window();
  ASSERT_TRUE(open_management_page());
  const auto& c = w->controls();
  QList<int> passes;
  bool running_look = false;
  QObject::connect(w, &StockDeletionWindow::pass_started, [&](int pass) {
    passes << pass;
    if (passes.size() == 2)
      QTimer::singleShot(0, [&] {
        QTest::mouseClick(c.stop, Qt::LeftButton);
        QTest::mouseClick(c.start, Qt::LeftButton);
        running_look = !c.start->isEnabled() && c.stop->isEnabled();
      });
    if (passes.size() == 3) QTimer::singleShot(0, c.stop, &QPushButton::click);
  });
  ASSERT_TRUE(run_until_finished(w));
  // The press neither cut the stopped pass short nor was lost: a new run from pass 1.
  ASSERT_TRUE(harness::wait_until([&] { return passes.size() == 3 && !w->running(); }, 10000));
  EXPECT_TRUE(running_look);
  EXPECT_EQ(passes, (QList<int>{1, 2, 1}));
  EXPECT_EQ(deletions(), (QList<int>{50, 50, 20}));
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].ending, "stopped");
  EXPECT_EQ(runs[0].items_begun, 1);
  EXPECT_EQ(runs[1].ending, "stopped");
  EXPECT_EQ(runs[1].items_begun, 2);
}

TEST_F(StockDeletion, APageWithoutDelEndsTheRunAtOnce) {
  StockDeletionWindow* w = open_window();  // the inventory page: neither SelectAll() nor Del
  const auto& c = w->controls();
  QElapsedTimer clock;
  clock.start();
  ASSERT_TRUE(run_until_finished(w));
  EXPECT_LT(clock.elapsed(), 1500);  // no page wait: nothing to act on
  EXPECT_EQ(w->passes(), 1);
  EXPECT_TRUE(deletions().isEmpty());
  EXPECT_EQ(stock(1), 120);
  EXPECT_TRUE(on_page(QString(kDemoRoot) + "/SelfProduct/SelfProductInventory.aspx"));
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());
  EXPECT_EQ(c.status->text(),
            QStringLiteral("页面上没有删除链接 Del，已停止：请先在网页中点击商品的“管理”，打开卡密管理页后再开始"));
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, "page_not_ready");
  const auto items = store_->items(runs[0].id, {}, 0, 10);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0].problem.value_or(""), "页面上没有删除链接 Del");
}

// The answer to a deletion that does not come the way it should: nothing else is deleted,
// and the run ends with the page that is not one to act on.
struct AnswerFault {
  const char* name;
  const char* kind;     // of the first deletion's post-back
  const char* ending;
  const char* problem;  // of pass 1, then of pass 2 ("" none)
  const char* then;
};

class StockDeletionFaults : public StockDeletion, public ::testing::WithParamInterface<AnswerFault> {
 protected:
  // The page limit lasts 1.5 s.
  StockDeletionFaults() : StockDeletion(kFast, 0.05) {}
};

TEST_P(StockDeletionFaults, AnAnswerThatDoesNotComeEndsTheRunWithoutDeletingMore) {
  const AnswerFault& f = GetParam();
  StockDeletionWindow* w = open_window();
  ASSERT_TRUE(open_management_page());
  demo().post("/demo/fault", std::string("kind=") + f.kind + "&path=" +
                                 testsupport::url_encode("/SelfProduct/ProductCardList.aspx") + "&count=1");
  QString hint;
  harness::BoxAnswer box(platform::kTitleHint, &hint);
  ASSERT_TRUE(run_until_finished(w, 30000));
  EXPECT_TRUE(deletions().isEmpty());
  EXPECT_EQ(stock(1), 120);
  const auto& c = w->controls();
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, f.ending);
  const auto items = store_->items(runs[0].id, {}, 0, 10);
  ASSERT_EQ(items.size(), *f.then ? 2u : 1u);
  // Pass 1's problem ("" none), then pass 2's.
  if (*f.problem) {
    EXPECT_EQ(items[0].problem.value_or("").substr(0, std::strlen(f.problem)), f.problem)
        << items[0].problem.value_or("");
  } else {
    EXPECT_FALSE(items[0].problem) << *items[0].problem;
  }
  if (*f.then) {
    EXPECT_EQ(items[1].problem.value_or("").substr(0, std::strlen(f.then)), f.then) << items[1].problem.value_or("");
  }
  if (std::string(f.kind) == "expire") {
    EXPECT_TRUE(harness::wait_until([&] { return !hint.isEmpty(); }, 3000));
    EXPECT_EQ(hint, tools::login_expired_text());
    EXPECT_EQ(c.status->text(), tools::login_expired_text());
    ASSERT_TRUE(harness::log_in(ctx_->main_browser(), kDemoRoot));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, StockDeletionFaults,
    ::testing::Values(
        // The error page is the answer (not taken for a deletion); it has no Del.
        AnswerFault{"ErrorPage", "error", "page_not_ready", "", "页面上没有删除链接 Del"},
        // Not done; the next pass finds the page still loading.
        AnswerFault{"NeverFinishes", "hang", "page_not_ready", "页面未就绪：应为第1次删除后的页面",
                    "页面未就绪：应为卡密管理页"},
        AnswerFault{"LoginPage", "expire", "login_expired", "登录已失效", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StockDeletion, ClosingTheWindowDuringARunEndsItAtItsNextWait) {
  StockDeletionWindow* w = open_window();
  ASSERT_TRUE(open_management_page());
  QPointer<StockDeletionWindow> guard(w);
  QObject::connect(w, &StockDeletionWindow::pass_started, [&](int pass) {
    if (pass == 2) QTimer::singleShot(0, w, &QWidget::close);
  });
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 30000));
  // Pass 1 deleted; pass 2 ended at its first wait, before its delete link.
  EXPECT_EQ(deletions(), (QList<int>{50}));
  platform::wait_responsive(300);
  EXPECT_EQ(deletions(), (QList<int>{50}));
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, "window_closed");
  EXPECT_EQ(runs[0].items_begun, 2);
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 700);
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
}

TEST_F(StockDeletion, TheMainWindowsClosingWorkDuringARunLeavesItSafe) {
  StockDeletionWindow* w = open_window();
  ASSERT_TRUE(open_management_page());
  QPointer<StockDeletionWindow> guard(w);
  QObject::connect(w, &StockDeletionWindow::pass_started, [&](int pass) {
    // What the main window does as it closes, before the process ends.
    if (pass == 1) QTimer::singleShot(0, [] { tools::ToolWindow::shut_down_all(); });
    if (pass == 2) QTimer::singleShot(0, w, &QWidget::close);
  });
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 30000));
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  EXPECT_EQ(deletions(), (QList<int>{50}));
}

// Writes the guide's screenshot when TESSARO_SCREENSHOT_DIR is set, and the window's
// picture to TESSARO_STOCK_PICTURE when that is set.
TEST_F(StockDeletion, Screenshots) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  const char* picture_file = std::getenv("TESSARO_STOCK_PICTURE");
  if (!out && !picture_file) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  StockDeletionWindow* w = open_window();
  QTest::qWait(800);
  if (picture_file) {
    // The inventory page around the first "管理" link, the link framed in red.
    const QJsonValue r = harness::page_script(
        ctx_->main_browser(),
        "var a = Array.from(document.links).filter(a => a.textContent == '管理')[0].getBoundingClientRect();"
        "[a.left, a.top, a.width, a.height]");
    ASSERT_TRUE(r.isArray());
    const QRect link = QRectF(r[0].toDouble(), r[1].toDouble(), r[2].toDouble(), r[3].toDouble()).toAlignedRect();
    const QImage shot = ctx_->main_browser()->grab().toImage();
    const QRect area = QRect(link.right() - 380, link.top() - 40, 420, 110).intersected(shot.rect());
    QImage picture = shot.copy(area);
    {
      QPainter p(&picture);
      p.setRenderHint(QPainter::Antialiasing);
      p.setPen(QPen(QColor(220, 0, 0), 3));
      p.drawRoundedRect(QRectF(link.translated(-area.topLeft()).adjusted(-5, -4, 5, 4)), 4, 4);
    }
    EXPECT_TRUE(picture.save(QString::fromUtf8(picture_file)));
  }
  if (out) {
    w->activateWindow();
    QTest::qWait(300);
    EXPECT_TRUE(w->grab().save(QString::fromUtf8(out) + "/stock.png"));
  }
}

}  // namespace
