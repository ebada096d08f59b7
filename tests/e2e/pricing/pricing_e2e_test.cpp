// The pricing window against the demo back office, in process: the unreviewed product
// list in the main browser, 19 rows a page, the stock step and the price form in the
// list's dialog; waits shortened, the line fast or slow, pages that do not come.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include "app/main_window.h"
#include "app_exits.h"
#include "demo_suite.h"
#include "page/confirmer.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/script_boxes.h"
#include "platform/waits.h"
#include "product_list_demo.h"
#include "qt_test_hooks.h"
#include "tools/pricing/open_pricing.h"
#include "tools/common/tool_window.h"
#include "tools/pricing/pricing_window.h"

using tools::pricing::PricingWindow;

using harness::demo;
using harness::kDemoRoot;
using harness::u;

void tessaro_test_before_app(std::vector<std::string>& args) {
  harness::record_exits();
  harness::start_demo(args);
}

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

const QString kAnswers = u("地区库存添加成功！ / 价格设置成功！");

struct PriceSet {
  int product;
  QString purchase, level1, level2, level3, set;
  bool accepted;
};

std::vector<PriceSet> price_sets() {
  std::vector<PriceSet> out;
  for (const QJsonValue& v : harness::recorded("price_sets")) {
    const QJsonObject o = v.toObject();
    out.push_back({o["product"].toInt(), o["txtPurchase"].toString(), o["txtLevelPrice1"].toString(),
                   o["txtLevelPrice2"].toString(), o["txtLevelPrice3"].toString(), o["set"].toString(),
                   o["accepted"].toBool()});
  }
  return out;
}

std::vector<int> products_priced() {
  std::vector<int> ids;
  for (const PriceSet& s : price_sets()) ids.push_back(s.product);
  return ids;
}

// Product ids from first to last.
std::vector<int> ids(int first, int last) {
  std::vector<int> out;
  for (int i = first; i <= last; ++i) out.push_back(i);
  return out;
}

class Pricing : public harness::DemoSuite<PricingWindow> {
 protected:
  // The test shapes the list itself.
  Pricing() : DemoSuite({.wait_scale = 0.05, .reset = false}) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DemoSuite::SetUp());
    // 45 products waiting for review: pages of 19, 19 and 7.
    ASSERT_TRUE(harness::shape_list(demo(), 0, 45, 19, true));
    // The platform's boxes are answered quickly by a confirmer of the test's own (the
    // run's one on the main browser keeps its 700 ms).
    page::confirm_web_dialogs(&fast_, platform::kWebMessageTitle, platform::kOkCaption, false, 50);
  }

  void TearDown() override {
    DemoSuite::TearDown();
    page::confirm_web_dialogs(&fast_, QString(), QString(), true);
    demo().post("/demo/fault", "kind=none");
  }

  // Arms a fault of the demo for pages whose path ends with path (Fault: kind, after, count).
  static void fault(const std::string& kind, const std::string& path, int after = 0, int count = 1) {
    demo().post("/demo/fault", "kind=" + kind + "&path=" + testsupport::url_encode(path) +
                                   "&after=" + std::to_string(after) + "&count=" + std::to_string(count));
  }

  // The unreviewed products in the main browser, on page n of the list.
  static bool show_unreviewed(platform::BrowserView* browser, int page = 1) {
    if (!harness::load(browser, QString(kDemoRoot) + "/SelfProduct/SelfProductList.aspx")) return false;
    if (!harness::script_load(browser, "__doPostBack('lbtn22','')")) return false;
    return page == 1 || harness::script_load(browser, QStringLiteral("__doPostBack('AspNetPager1','%1')").arg(page));
  }

  PricingWindow* open_window() {
    auto* w = new PricingWindow(*ctx_);
    w->show();
    return w;
  }

  // Presses "确认定价"; stop_at(row, page) says when to press "停止定价" as a row begins.
  static bool run(PricingWindow* w, const std::function<bool(int, int)>& stop_at, int runs = 1) {
    QSignalSpy finished(w, &PricingWindow::run_finished);
    QObject::connect(w, &PricingWindow::row_started, w, [w, stop_at](int row, int page) {
      if (stop_at(row, page)) QTimer::singleShot(0, w->controls().stop, &QPushButton::click);
    });
    QTimer::singleShot(0, w->controls().start, &QPushButton::click);
    return harness::wait_until([&] { return finished.count() >= runs; }, 120000);
  }

  QWidget fast_;
};

TEST_F(Pricing, TheWindowOpensWithTheDesignValuesAndTheMainButtonsAlert) {
  // The confirmer that start-up runs on the main browser answers the alert.
  page::confirm_web_dialogs(&fast_, QString(), QString(), true);
  page::confirm_web_dialogs(ctx_->main_browser(), platform::kWebMessageTitle, platform::kOkCaption, false, 500);
  ASSERT_TRUE(show_unreviewed(ctx_->main_browser()));
  QStringList alerts;
  QList<QWidget*> owners;
  bool by_confirmer = false;
  auto* boxes = platform::ScriptBoxes::instance();
  QMetaObject::Connection opened = QObject::connect(
      boxes, &platform::ScriptBoxes::opened, [&](quint64, QWidget* browser, platform::ScriptBoxKind, const QString& t) {
        alerts << t;
        owners << browser;
      });
  QMetaObject::Connection answered = QObject::connect(
      boxes, &platform::ScriptBoxes::answered, [&](quint64, const QString&, bool c) { by_confirmer = c; });
  tools::pricing::open_pricing(*ctx_);
  QObject::disconnect(opened);
  QObject::disconnect(answered);
  EXPECT_EQ(alerts, QStringList{u("注意：请注意将网页浏览框页面调到【未通过审核的商品】")});
  EXPECT_EQ(owners, QList<QWidget*>{ctx_->main_browser()});
  EXPECT_TRUE(by_confirmer);

  PricingWindow* w = harness::top_level<PricingWindow>();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  EXPECT_EQ(w->windowTitle(), u("Quillory-TessaroV4.3正式版-全自动定价"));
  EXPECT_EQ(c.purchase->text(), "10");
  EXPECT_EQ(c.addition->text(), "0.3");
  EXPECT_TRUE(c.purchase_discount->text().isEmpty());
  EXPECT_TRUE(c.face_value_discount->text().isEmpty());
  ASSERT_EQ(c.mode->count(), 3);
  EXPECT_EQ(c.mode->itemText(0), u("1、按直接累加递增"));
  EXPECT_EQ(c.mode->itemText(1), u("2、按进价折扣递增"));
  EXPECT_EQ(c.mode->itemText(2), u("3、按面值折扣递增"));
  EXPECT_EQ(c.mode->currentIndex(), 0);
  EXPECT_EQ(c.start->text(), u("确认定价"));
  EXPECT_EQ(c.stop->text(), u("停止定价"));
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());
  // Every control is found by its caption.
  const std::pair<QWidget*, QString> labelled[] = {
      {c.purchase, u("进价：")},
      {c.mode, u("自动填写：")},
      {c.addition, u("按直接累加递增")},
      {c.purchase_discount, u("按进价折扣递增")},
      {c.face_value_discount, u("按面值折扣递增")}};
  for (const auto& [control, caption] : labelled) {
    bool found = false;
    for (QLabel* l : w->findChildren<QLabel*>()) found = found || (l->buddy() == control && l->text() == caption);
    EXPECT_TRUE(found) << caption.toStdString();
  }
  for (const QString& unit : {u("元"), u("%")}) {
    bool found = false;
    for (QLabel* l : w->findChildren<QLabel*>()) found = found || l->text() == unit;
    EXPECT_TRUE(found) << unit.toStdString();
  }
  EXPECT_TRUE(QDir(dir_.path() + "/data").exists());

  // Closing the window stops the main browser's confirmer, the one start-up started.
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 500);
  w->close();
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 0);
}

// The line the platform answers on: as fast as it goes, or slower than every step's
// prescribed wait (with the wait scale), with jitter.
struct Line {
  const char* name;
  double wait_scale;
  int latency_ms, jitter_ms;
  bool both_modes = false;  // the work paced, then in fast mode: the same records
};

class PricingOnALine : public Pricing, public ::testing::WithParamInterface<Line> {};

TEST_P(PricingOnALine, ModeTwoFillsOnlyItsBoxRowByRowTurnsAfterRow19AndEndsWithTheList) {
  paced_and_fast(GetParam().both_modes, GetParam().wait_scale, [&] {
    // 40 products: pages of 19, 19 and 2; the run starts on page 2.
    ASSERT_TRUE(harness::shape_list(demo(), 0, 40, 19, true));
    ASSERT_TRUE(show_unreviewed(ctx_->main_browser(), 2));
    platform::set_wait_scale(GetParam().wait_scale);
    set_latency(GetParam().latency_ms, GetParam().jitter_ms);
    PricingWindow* w = open_window();
    const auto& c = w->controls();
    c.purchase->setText("12");
    c.mode->setCurrentIndex(1);
    c.purchase_discount->setText("95");
    c.face_value_discount->setText("7");
    QList<QPair<int, int>> rows;
    QStringList texts;
    QObject::connect(w, &PricingWindow::status_text_changed, [&](const QString& t) { texts << t; });
    QObject::connect(w, &PricingWindow::row_started, w, [&](int row, int page) {
      rows << qMakePair(row, page);
      if (row == 2) {
        // During the run: the confirmer at 700 ms, the buttons swapped, browser input off.
        EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 700);
        EXPECT_FALSE(c.start->isEnabled());
        EXPECT_TRUE(c.stop->isEnabled());
        EXPECT_FALSE(ctx_->main_browser()->input_enabled());
      }
    });
    ASSERT_TRUE(run(w, [](int, int) { return false; }));

    // Rows 1-19 of page 2 (products 20-38), rows 1 and 2 of page 3 (39, 40); page 3 has no
    // row 3: the list is done.
    QList<QPair<int, int>> expected;
    for (int r = 1; r <= 19; ++r) expected << qMakePair(r, 2);
    expected << qMakePair(1, 3) << qMakePair(2, 3) << qMakePair(3, 3);
    EXPECT_EQ(rows, expected);
    // Every product got its stock and its prices once, and nothing else got any.
    EXPECT_EQ(products_priced(), ids(20, 40));
    std::vector<int> stocked;
    for (const QJsonValue& v : harness::recorded("area_stock")) stocked.push_back(v.toObject()["product"].toInt());
    EXPECT_EQ(stocked, ids(20, 40));
    for (const PriceSet& s : price_sets()) {
      EXPECT_EQ(s.purchase, "12");
      EXPECT_EQ(s.level1, "");
      EXPECT_EQ(s.level2, "95");
      EXPECT_EQ(s.level3, "");
      EXPECT_EQ(s.set, "22");
      EXPECT_TRUE(s.accepted);
    }
    // The page turn: option 3 chosen and the fourth select's onchange fired (its post-back).
    EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"), (QStringList{"2", "3"}));

    // The window is idle again and says why the run ended.
    ASSERT_FALSE(texts.isEmpty());
    EXPECT_EQ(texts.last(), u("商品已全部处理，定价结束"));
    EXPECT_EQ(c.status->text(), texts.last());
    EXPECT_TRUE(c.start->isEnabled());
    EXPECT_FALSE(c.stop->isEnabled());
    EXPECT_TRUE(ctx_->main_browser()->input_enabled());

    // The journal: one item per row, keyed by page and row, with the platform's answers.
    const auto runs = harness::journal_runs(exe_dir());
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].run.tool, "自动库存+定价");
    EXPECT_EQ(runs[0].run.ending, "finished");
    EXPECT_NE(runs[0].run.settings_json.find("\"purchase_discount\":\"95\""), std::string::npos);
    ASSERT_EQ(runs[0].items.size(), 21u);
    EXPECT_EQ(runs[0].items[0].key, "第2页第1行");
    EXPECT_EQ(runs[0].items[18].key, "第2页第19行");
    EXPECT_EQ(runs[0].items[20].key, "第3页第2行");
    for (const auto& item : runs[0].items) {
      EXPECT_EQ(QString::fromStdString(item.answer.value_or("")), kAnswers) << item.key;
      EXPECT_FALSE(item.problem) << item.key << ": " << item.problem.value_or("");
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Lines, PricingOnALine,
                         ::testing::Values(Line{"FastBothModes", 0.03, 0, 0, true},
                                           // waits of 30 to 150 ms, answers after 160 to 240 ms
                                           Line{"Slow", 0.03, 200, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

// On the last page (or a list without pager) row 19 ends the run: the pager is never
// turned past its last option, and never back to page 1. The paged list on a slow line.
struct LastPage {
  const char* name;
  bool pager;
  int latency_ms, jitter_ms;
};

class PricingLastPage : public Pricing, public ::testing::WithParamInterface<LastPage> {};

TEST_P(PricingLastPage, Row19OfTheLastPageEndsTheRun) {
  const bool pager = GetParam().pager;
  // With pager: pages of 19 and 19, the run on page 2. Without: 25 products on one page.
  ASSERT_TRUE(harness::shape_list(demo(), 0, pager ? 38 : 25, 19, pager));
  ASSERT_TRUE(show_unreviewed(ctx_->main_browser(), pager ? 2 : 1));
  platform::set_wait_scale(0.03);
  set_latency(GetParam().latency_ms, GetParam().jitter_ms);
  PricingWindow* w = open_window();
  ASSERT_TRUE(run(w, [](int, int) { return false; }));
  EXPECT_EQ(products_priced(), pager ? ids(20, 38) : ids(1, 19));
  EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"), pager ? QStringList{"2"} : QStringList{});
  if (pager) {
    EXPECT_EQ(harness::page_script(ctx_->main_browser(), "document.getElementById('AspNetPager1_input').selectedIndex")
                  .toInt(),
              1);
  }
  EXPECT_EQ(w->controls().status->text(), u("已到最后一页，定价结束"));
  EXPECT_TRUE(w->controls().start->isEnabled());
  EXPECT_FALSE(w->controls().stop->isEnabled());
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].run.ending, "finished");
  EXPECT_EQ(runs[0].items.size(), 19u);
}

INSTANTIATE_TEST_SUITE_P(Lists, PricingLastPage,
                         ::testing::Values(LastPage{"WithPagerOnASlowLine", true, 200, 40},
                                           LastPage{"WithoutPager", false, 0, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Pricing, APageWithoutTheListEndsTheRunAtOnceAndSaysSo) {
  // The products that passed review: no "增加地区库存" links.
  ASSERT_TRUE(harness::load(ctx_->main_browser(), QString(kDemoRoot) + "/SelfProduct/SelfProductList.aspx"));
  PricingWindow* w = open_window();
  ASSERT_TRUE(run(w, [](int, int) { return false; }));
  EXPECT_EQ(w->controls().status->text(), u("页面上没有“增加地区库存”链接，定价结束"));
  EXPECT_TRUE(w->controls().start->isEnabled());
  EXPECT_FALSE(w->controls().stop->isEnabled());
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  EXPECT_TRUE(price_sets().empty());
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].run.ending, "finished");
  EXPECT_TRUE(runs[0].items.empty());
}

TEST_F(Pricing, StopAndStartAgainBeginsAtRowOneAlsoWhenPressedBeforeTheStoppedRowEnds) {
  ASSERT_TRUE(show_unreviewed(ctx_->main_browser()));
  PricingWindow* w = open_window();
  const auto& c = w->controls();
  int starts = 0;
  QList<int> rows;
  QObject::connect(w, &PricingWindow::row_started, w, [&](int row, int) {
    rows << row;
    if (row == 1) ++starts;
    if (row == 3 && starts == 1) {
      // Stop, and "确认定价" at once: the new run follows the stopped row.
      QTimer::singleShot(0, c.stop, [&] {
        QTest::mouseClick(c.stop, Qt::LeftButton);
        EXPECT_TRUE(c.start->isEnabled());
        QTest::mouseClick(c.start, Qt::LeftButton);
      });
    }
  });
  ASSERT_TRUE(run(w, [&](int row, int) { return row == 2 && starts == 2; }, 2));
  EXPECT_EQ(rows, (QList<int>{1, 2, 3, 1, 2}));
  EXPECT_EQ(products_priced(), (std::vector<int>{1, 2, 3, 1, 2}));
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[1].items.size(), 3u);
  EXPECT_EQ(runs[0].items.size(), 2u);
  EXPECT_EQ(runs[0].items[0].key, "第1页第1行");
}

// Row 2's dialog never finishes loading: a stop or a close during the page wait ends the
// run within a second, and the browser is given back.
class PricingEnded : public Pricing, public ::testing::WithParamInterface<bool> {};

TEST_P(PricingEnded, AStopOrACloseWhileADialogNeverLoadsEndsTheRunWithinASecond) {
  const bool close = GetParam();
  ASSERT_TRUE(show_unreviewed(ctx_->main_browser()));
  fault("hang", "/SelfProduct/ProductAreaStock.aspx", 2);  // row 1's dialog and form pass
  PricingWindow* w = open_window();
  QPointer<PricingWindow> guard(w);
  QSignalSpy finished(w, &PricingWindow::run_finished);
  QElapsedTimer since_action;
  QObject::connect(w, &PricingWindow::row_started, w, [&, w](int row, int) {
    if (row != 2) return;
    // 300 ms: past the prescribed 100 ms, within the page wait (limit 1.5 s).
    QTimer::singleShot(300, w, [&, w] {
      since_action.start();
      if (close) w->close();
      else w->controls().stop->click();
    });
  });
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return close ? guard.isNull() : finished.count() > 0;
  }, 30000));
  EXPECT_LT(since_action.elapsed(), 1000);
  EXPECT_EQ(products_priced(), (std::vector<int>{1}));
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].items.size(), 2u);
  if (close) {
    EXPECT_EQ(runs[0].run.ending, "window_closed");
    EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 0);
  } else {
    EXPECT_EQ(runs[0].run.ending, "stopped");
    EXPECT_EQ(runs[0].items[1].problem.value_or(""), "已停止：未等到平台的应答页面");
    EXPECT_TRUE(w->controls().start->isEnabled());
    EXPECT_FALSE(w->controls().stop->isEnabled());
  }
}

INSTANTIATE_TEST_SUITE_P(Ends, PricingEnded, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Close" : "Stop"); });

// A page that does not come in a row of two: that row is not done and recorded, the list
// is still there and the next row is done; the login page ends the run.
struct RowFault {
  const char* name;
  const char* kind;
  const char* path;
  int after;                  // matching requests let through first
  std::vector<int> stocked;   // products that got regional stock
  std::vector<int> priced;    // products whose price form was posted
  const char* problem;        // the start of row 1's problem
};

class PricingRowFaults : public Pricing, public ::testing::WithParamInterface<RowFault> {};

TEST_P(PricingRowFaults, ARowWhosePageDoesNotComeIsNotDoneAndTheRunGoesOnOrEndsAtTheLoginPage) {
  const RowFault& f = GetParam();
  const bool login = std::string(f.kind) == "expire";
  ASSERT_TRUE(harness::shape_list(demo(), 0, 2, 19, false));
  ASSERT_TRUE(show_unreviewed(ctx_->main_browser()));
  fault(f.kind, f.path, f.after);
  PricingWindow* w = open_window();
  QStringList texts;
  QObject::connect(w, &PricingWindow::status_text_changed, [&](const QString& t) { texts << t; });
  QString box;
  harness::BoxAnswer answer(platform::kTitleHint, &box);
  ASSERT_TRUE(run(w, [](int, int) { return false; }));
  std::vector<int> stocked;
  for (const QJsonValue& v : harness::recorded("area_stock")) stocked.push_back(v.toObject()["product"].toInt());
  EXPECT_EQ(stocked, f.stocked);
  EXPECT_EQ(products_priced(), f.priced);
  EXPECT_TRUE(w->controls().start->isEnabled());
  EXPECT_FALSE(w->controls().stop->isEnabled());
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_FALSE(runs[0].items.empty());
  const std::string problem = runs[0].items[0].problem.value_or("");
  EXPECT_EQ(problem.rfind(f.problem, 0), 0u) << problem;
  if (login) {
    ASSERT_TRUE(harness::wait_until([&] { return answer.answered() > 0; }, 5000));
    EXPECT_EQ(box, tools::login_expired_text());
    EXPECT_EQ(texts.last(), tools::login_expired_text());
    EXPECT_EQ(runs[0].run.ending, "login_expired");
    EXPECT_EQ(runs[0].items.size(), 1u);
    ASSERT_TRUE(harness::log_in(ctx_->main_browser(), kDemoRoot));
  } else {
    EXPECT_EQ(texts.last(), u("商品已全部处理，定价结束，其中1行未能完成，详见“记录”→“运行记录”"));
    EXPECT_EQ(runs[0].run.ending, "finished");
    ASSERT_EQ(runs[0].items.size(), 2u);
    EXPECT_FALSE(runs[0].items[1].problem) << *runs[0].items[1].problem;
    EXPECT_EQ(answer.answered(), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, PricingRowFaults,
    ::testing::Values(
        RowFault{"AnErrorPageInsteadOfTheDialog", "error", "/SelfProduct/ProductAreaStock.aspx", 0, {2}, {2},
                 "页面未就绪：应为第1页第1行的增加地区库存对话框（确认添加）"},
        RowFault{"APriceFormThatNeverLoads", "hang", "/SelfProduct/ProductAreaStock.aspx", 1, {2}, {2},
                 "页面未就绪：应为价格表单（txtPurchase，txtLevelPrice1，Set11，btnSubmit）"},
        RowFault{"TheLoginPageInsteadOfTheAnswer", "expire", "/SelfProduct/ProductPrice.aspx", 0, {1}, {},
                 "登录已失效，请在主程序重新登录"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Pricing, CharactersOutsideGbkInEveryBoxGoToThePageAsTyped) {
  ASSERT_TRUE(harness::shape_list(demo(), 0, 2, 19, false));
  ASSERT_TRUE(show_unreviewed(ctx_->main_browser()));
  platform::set_wait_scale(0.03);  // each refused row waits the page limit (900 ms)
  PricingWindow* w = open_window();
  const auto& c = w->controls();
  const QString odd = QStringLiteral("\U0001F600\u20AC\U00020000");
  c.purchase->setText(odd + "1");
  c.addition->setText(odd + "2");
  c.purchase_discount->setText(odd + "3");
  c.face_value_discount->setText(odd + "4");
  c.mode->setCurrentIndex(2);
  ASSERT_TRUE(run(w, [](int, int) { return false; }));
  const auto sets = price_sets();
  ASSERT_EQ(sets.size(), 2u);
  for (const PriceSet& s : sets) {
    EXPECT_EQ(s.purchase, odd + "1");
    EXPECT_EQ(s.level1, "");
    EXPECT_EQ(s.level2, "");
    EXPECT_EQ(s.level3, odd + "4");
    EXPECT_FALSE(s.accepted);
  }
  // The platform's refusals land in the rows' items: the price form stayed, the rows are
  // not done.
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 1u);
  ASSERT_EQ(runs[0].items.size(), 2u);
  for (const auto& item : runs[0].items) {
    EXPECT_EQ(QString::fromStdString(item.answer.value_or("")),
              u("地区库存添加成功！ / 请输入正确的数字！ / 请输入正确的进价！"));
    EXPECT_EQ(item.problem.value_or("").rfind("页面未就绪：应为商品列表（价格表单已关闭）", 0), 0u)
        << item.problem.value_or("");
  }
  EXPECT_EQ(c.status->text(), u("商品已全部处理，定价结束，其中2行未能完成，详见“记录”→“运行记录”"));
}

TEST_F(Pricing, FromTheMainWindowsButtonAndTheMainWindowClosedDuringARun) {
  page::confirm_web_dialogs(&fast_, QString(), QString(), true);
  harness::exit_codes().clear();
  auto main = std::make_unique<app::MainWindow>(exe_dir());
  main->show();
  ASSERT_TRUE(main->start_up());
  ASSERT_TRUE(show_unreviewed(main->main_browser()));
  QPushButton* button = nullptr;
  for (QPushButton* b : main->findChildren<QPushButton*>())
    if (b->text() == u("自动库存+定价")) button = b;
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->isEnabled());
  int alerts = 0;
  QMetaObject::Connection opened = QObject::connect(
      platform::ScriptBoxes::instance(), &platform::ScriptBoxes::opened,
      [&](quint64, QWidget* browser, platform::ScriptBoxKind, const QString& t) {
        alerts += browser == main->main_browser() && t == u("注意：请注意将网页浏览框页面调到【未通过审核的商品】");
      });
  button->click();  // the alert is answered by the start-up confirmer
  QObject::disconnect(opened);
  EXPECT_EQ(alerts, 1);
  PricingWindow* w = harness::top_level<PricingWindow>();
  ASSERT_NE(w, nullptr);

  QSignalSpy finished(w, &PricingWindow::run_finished);
  QObject::connect(w, &PricingWindow::row_started, main.get(), [&main](int row, int) {
    if (row == 2) QTimer::singleShot(0, main.get(), &QWidget::close);
  });
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return !harness::exit_codes().empty() && !w->running(); }, 30000));
  EXPECT_EQ(harness::exit_codes(), std::vector<int>{0});
  harness::wait_until([] { return false; }, 600);
  EXPECT_EQ(products_priced(), (std::vector<int>{1}));
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].run.ending, "application_ended");
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  main.reset();
}

// Writes the guide's screenshot when TESSARO_SCREENSHOT_DIR is set.
TEST_F(Pricing, Screenshot) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  // After a run over a short list.
  ASSERT_TRUE(harness::shape_list(demo(), 0, 3, 19, false));
  ASSERT_TRUE(show_unreviewed(ctx_->main_browser()));
  PricingWindow* w = open_window();
  w->controls().mode->setCurrentIndex(1);
  w->controls().purchase_discount->setText("95");
  ASSERT_TRUE(run(w, [](int, int) { return false; }));
  harness::wait_until([] { return false; }, 300);
  EXPECT_TRUE(w->grab().save(QString::fromUtf8(out) + "/pricing.png"));
}

}  // namespace
