// The stock deletion window against the demo back office, in process: a real browser,
// the platform's own page function and delete link, its confirmation boxes.

#include <gtest/gtest.h>

#include <QDir>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "demo_suite.h"
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

class StockDeletion : public harness::DemoSuite<StockDeletionWindow> {
 protected:
  StockDeletion() : DemoSuite({.wait_scale = 0.3}) {}

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

TEST_F(StockDeletion, EveryPassSelectsAllAndDeletesUntilStopped) {
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
  EXPECT_EQ(stock(1), 0);
  EXPECT_EQ(stock(2), 120);
  EXPECT_EQ(deletions(), (QList<int>{50, 50, 20, 0, 0}));
  // The journal: one item per pass, each with the page's question and answer.
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
    EXPECT_EQ(items[i].answer.value_or(""), std::string("确定要删除选中的卡密吗？") + tools::journal::kAnswerSeparator + answers[i]);
  }
  // The page's confirmation and answer boxes were all pressed.
  EXPECT_TRUE(harness::wait_until([] { return QApplication::activeModalWidget() == nullptr; }, 3000));
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
}

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

TEST_F(StockDeletion, APageWithoutSelectAllOrDelRunsOnHarmlessly) {
  StockDeletionWindow* w = open_window();  // the inventory page: neither SelectAll() nor Del
  QObject::connect(w, &StockDeletionWindow::pass_started, [&](int pass) {
    if (pass == 3) QTimer::singleShot(0, w->controls().stop, &QPushButton::click);
  });
  ASSERT_TRUE(run_until_finished(w));
  EXPECT_EQ(w->passes(), 3);
  EXPECT_TRUE(deletions().isEmpty());
  EXPECT_EQ(stock(1), 120);
  EXPECT_TRUE(on_page(QString(kDemoRoot) + "/SelfProduct/SelfProductInventory.aspx"));
}

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
