// The template setter against the demo back office, in process: a real browser, the
// demo's product list, pager and template pages; waits shortened.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>

#include <map>

#include "demo_suite.h"
#include "platform/waits.h"
#include "product_list_demo.h"
#include "qt_test_hooks.h"
#include "tools/common/tool_window.h"
#include "tools/templates/open_templates.h"
#include "tools/templates/templates_window.h"
#include "tools/templates/tutorial_viewer.h"

using tools::templates::TemplatesWindow;
using tools::templates::TutorialViewer;

using harness::demo;
using harness::kDemoRoot;
using harness::u;

namespace {

// Waits of the walk and the choices, and of applying (which needs the pages a little
// longer: its radio post-back and the submission follow each other closely).
constexpr double kWalkScale = 0.1;
constexpr double kApplyScale = 0.25;

}  // namespace

void tessaro_test_before_app(std::vector<std::string>& args) { harness::start_demo(args); }

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

// The line to the platform: its answers delayed by latency ± jitter ms (slow: longer than
// every shortened wait of the steps); both_modes: the work is done paced, then again in
// fast mode, and the two must give the same records.
struct Line {
  const char* name;
  int latency_ms;
  int jitter_ms;
  bool both_modes = false;
};
const Line kFast{"Fast", 0, 0};
const Line kSlow{"Slow", 500, 150};

class Templates : public harness::DemoSuite<TemplatesWindow, TutorialViewer> {
 protected:
  // Each test shapes the list itself.
  explicit Templates(const Line& line = kFast)
      : DemoSuite({.wait_scale = kWalkScale, .reset = false, .latency_ms = line.latency_ms,
                   .jitter_ms = line.jitter_ms}) {}

  void TearDown() override {
    DemoSuite::TearDown();
    ctx_->main_browser()->set_input_enabled(true);
  }

  // A window, once the list page it opens is shown.
  static TemplatesWindow* open_window(harness::TestContext& ctx) {
    auto* w = new TemplatesWindow(ctx);
    w->show();
    EXPECT_TRUE(harness::wait_until([&] { return on_list(ctx); }));
    return w;
  }
  static TemplatesWindow* open_window() { return open_window(*ctx_); }

  static bool on_list(harness::TestContext& ctx) {
    platform::BrowserView* b = ctx.main_browser();
    return b && b->url().path() == "/SelfProduct/SelfProductList.aspx" && b->ready_state() == 4 &&
           harness::page_script(b, "document.readyState").toString() == "complete";
  }

  // Presses "1.分析" and waits until the analysis returned.
  static bool analyse(TemplatesWindow* w, int timeout_ms = 60000) {
    return harness::click_until(w->controls().analyse, w, &TemplatesWindow::analysis_finished, timeout_ms);
  }

  static bool apply(TemplatesWindow* w, int timeout_ms = 90000) {
    return harness::click_until(w->controls().start, w, &TemplatesWindow::applying_finished, timeout_ms);
  }

  // The user's choice in a list (the signal a choice made with mouse or keys gives).
  static bool choose(TemplatesWindow* w, QComboBox* list, int index) {
    QSignalSpy done(w, &TemplatesWindow::choice_finished);
    list->setCurrentIndex(index);
    QTimer::singleShot(0, list, [list, index] { emit list->activated(index); });
    return harness::wait_until([&] { return done.count() > 0; }, 20000);
  }

  static QStringList items(const QComboBox* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->itemText(i);
    return out;
  }

  static QStringList links_of(int first, int last) {
    QStringList out;
    for (int i = first; i <= last; ++i) out << QStringLiteral("SelfProduct/ProductTemplate.aspx?PID=%1").arg(i);
    return out;
  }
  static QStringList links(const TemplatesWindow* w) {
    QStringList out;
    for (const std::string& l : w->links()) out << QString::fromStdString(l);
    return out;
  }

  static QJsonArray settings() { return harness::demo_state()["templates"].toObject()["settings"].toArray(); }
  static QJsonArray submissions() {
    return harness::demo_state()["templates"].toObject()["submissions"].toArray();
  }
  // The last product's submission is still on its way when the run returns.
  static bool submitted(int n) {
    return harness::wait_until([n] { return submissions().size() >= n; }, 10000);
  }
  static QString browser_pid() { return QUrlQuery(ctx_->main_browser()->url()).queryItemValue("PID"); }

  // A fault of kind for the requests of path, after the first `after` of them.
  static void fault(const std::string& kind, const std::string& path, int after = 0) {
    demo().post("/demo/fault", "kind=" + kind + "&path=" + testsupport::url_encode(path) +
                                   "&after=" + std::to_string(after) + "&count=1");
  }
  // The product the journal's newest run left not done, by key, with why.
  static std::map<std::string, std::string> not_done_items(const harness::JournalRun& run) {
    std::map<std::string, std::string> out;
    for (const auto& item : run.items)
      if (item.problem) out[item.key] = *item.problem;
    return out;
  }
};

class TemplatesOnLine : public Templates, public ::testing::WithParamInterface<Line> {
 protected:
  TemplatesOnLine() : Templates(GetParam()) {}
};

std::string line_name(const ::testing::TestParamInfo<Line>& info) { return info.param.name; }

TEST_F(Templates, WindowOpensOnTheProductListWithItsControlsAndTutorial) {
  ASSERT_TRUE(harness::shape_list(demo(), 3));
  tools::templates::open_templates(*ctx_);
  TemplatesWindow* w = harness::top_level<TemplatesWindow>();
  ASSERT_NE(w, nullptr);
  EXPECT_TRUE(harness::wait_until([] { return on_list(*ctx_); }));
  EXPECT_EQ(w->windowTitle(), u("Quillory-TessaroV4.3正式版-自动设置类型模版"));
  EXPECT_EQ(w->parent(), nullptr);
  EXPECT_TRUE(QDir(dir_.path() + "/data").exists());
  const auto& c = w->controls();
  EXPECT_EQ(items(c.types), (QStringList{u("卡密"), u("选号"), u("人工代充"), u("账号直充"), u("卡密直充"), u("接口直冲")}));
  EXPECT_EQ(c.types->currentIndex(), 0);
  for (QComboBox* list : {c.types, c.vendors, c.templates}) EXPECT_FALSE(list->isEnabled());
  EXPECT_EQ(c.vendors->count(), 0);
  EXPECT_EQ(c.templates->count(), 0);
  EXPECT_TRUE(c.analyse->isEnabled());
  EXPECT_FALSE(c.start->isEnabled());
  EXPECT_EQ(c.analyse->text(), u("1.分析"));
  EXPECT_EQ(c.start->text(), u("2.开始"));
  EXPECT_EQ(c.status->text(), u("状态:等待用户执行"));
  EXPECT_TRUE(c.links->isHidden());
  EXPECT_EQ(w->radio(), 1);
  // Every list has its caption as a visible label tied to it, and as its name.
  for (auto [list, caption] : {std::pair{c.types, "类型"}, std::pair{c.vendors, "厂商系统"},
                               std::pair{c.templates, "充值模版"}}) {
    EXPECT_EQ(list->accessibleName(), u(caption));
    QLabel* label = nullptr;
    for (QLabel* l : w->findChildren<QLabel*>())
      if (l->buddy() == list) label = l;
    ASSERT_NE(label, nullptr) << caption;
    EXPECT_EQ(label->text(), u(caption));
    EXPECT_TRUE(label->isVisible());
  }
  // The status label speaks its text.
  EXPECT_EQ(harness::spoken_name(c.status), u("状态:等待用户执行"));

  // The tutorial button takes a new colour every 100 ms.
  EXPECT_EQ(c.tutorial->text(), u("使用教程【必看】"));
  QSet<QRgb> colours;
  for (int i = 0; i < 6; ++i) {
    colours.insert(c.tutorial->palette().color(QPalette::Button).rgb());
    harness::wait_until([] { return false; }, 110);
  }
  EXPECT_GE(colours.size(), 4);
  QTest::mouseClick(c.tutorial, Qt::LeftButton);
  TutorialViewer* viewer = harness::top_level<TutorialViewer>([](TutorialViewer* v) { return v->isVisible(); });
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->windowTitle(), u("Quillory-TessaroV4.3正式版-使用教程"));
  ASSERT_GE(viewer->count(), 3);
  EXPECT_FALSE(viewer->picture_label()->pixmap().isNull());
  EXPECT_FALSE(viewer->caption_label()->text().isEmpty());
  EXPECT_FALSE(viewer->previous_button()->isEnabled());
  QTest::mouseClick(viewer->next_button(), Qt::LeftButton);
  EXPECT_EQ(viewer->current(), 1);
  EXPECT_TRUE(viewer->previous_button()->isEnabled());
  viewer->show_picture(viewer->count() - 1);
  EXPECT_FALSE(viewer->next_button()->isEnabled());
  // Nothing was walked or navigated beyond the list.
  EXPECT_TRUE(harness::list_postbacks(demo(), "AspNetPager1").isEmpty());
}

TEST_F(Templates, AnalysisPostsBackEveryPageAndOneMoreAndCollectsEveryLink) {
  ASSERT_TRUE(harness::shape_list(demo(), 25));
  TemplatesWindow* w = open_window();
  QStringList texts;
  QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) { texts << t; });
  bool input_during = true;
  QObject::connect(w, &TemplatesWindow::status_text_changed,
                   [&](const QString&) { input_during = input_during && ctx_->main_browser()->input_enabled(); });
  ASSERT_TRUE(analyse(w));

  // A pager of 3 options gives 4 post-backs.
  EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"), (QStringList{"1", "2", "3", "4"}));
  EXPECT_EQ(texts, (QStringList{u("状态:正在计算页数，请勿操作"), u("状态:当前页数为3"), u("正在分析第1页"),
                                u("正在分析第2页"), u("正在分析第3页"), u("正在分析第4页"), u("状态:分析完毕")}));
  EXPECT_FALSE(input_during);
  // Page 3 comes twice (the fourth request gets the last page again).
  EXPECT_EQ(links(w), links_of(1, 25) + links_of(21, 25));
  const auto& c = w->controls();
  EXPECT_EQ(QApplication::clipboard()->text(), (links_of(1, 25) + links_of(21, 25)).join("\r\n") + "\r\n");
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_TRUE(c.types->isEnabled());
  EXPECT_TRUE(c.analyse->isEnabled());
  EXPECT_FALSE(c.vendors->isEnabled());
  // The first template page is shown; the browser stays off for the user until applying
  // ends.
  EXPECT_TRUE(harness::wait_until([] { return browser_pid() == "1"; }));
  EXPECT_FALSE(ctx_->main_browser()->input_enabled());
  // A second analysis starts a new list. "2.开始" is off until it ends (a press during the
  // walk does nothing), and the browser stays off for the user.
  ASSERT_TRUE(harness::shape_list(demo(), 4));
  ctx_->navigate_main(std::string(kDemoRoot) + "/SelfProduct/SelfProductList.aspx");
  ASSERT_TRUE(harness::wait_until([] { return on_list(*ctx_); }));
  QList<bool> start_during, input_during_second;
  QSignalSpy applied(w, &TemplatesWindow::applying_finished);
  const auto during = QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) {
    if (t == u("状态:分析完毕")) return;
    start_during << c.start->isEnabled();
    input_during_second << ctx_->main_browser()->input_enabled();
    if (t == u("正在分析第1页")) QTimer::singleShot(0, c.start, &QPushButton::click);
  });
  ASSERT_TRUE(analyse(w));
  QObject::disconnect(during);
  EXPECT_EQ(start_during.size(), 4);
  EXPECT_FALSE(start_during.contains(true));
  EXPECT_FALSE(input_during_second.contains(true));
  EXPECT_EQ(applied.count(), 0);
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_EQ(links(w), links_of(1, 4) + links_of(1, 4));
  // Closing the window gives the browser back.
  w->close();
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
}

TEST_F(Templates, ChoosingFillsTheListsFromTheTemplatePageAndCodeSelectionsRunNothing) {
  ASSERT_TRUE(harness::shape_list(demo(), 3));
  TemplatesWindow* w = open_window();
  ASSERT_TRUE(analyse(w));
  ASSERT_TRUE(harness::wait_until([] { return browser_pid() == "1" && ctx_->main_browser()->ready_state() == 4; }));
  const auto& c = w->controls();

  // "接口直冲": the 6th radio posts back; the vendor list comes from ddlGameCompany.
  ASSERT_TRUE(choose(w, c.types, 5));
  EXPECT_EQ(w->radio(), 6);
  EXPECT_EQ(items(c.vendors),
            (QStringList{u("完美世界"), u("盛大游戏"), u("网易游戏"), u("腾讯游戏"), u("巨人网络"), u("金山软件")}));
  EXPECT_EQ(c.vendors->currentIndex(), 0);
  EXPECT_TRUE(c.vendors->isEnabled());
  EXPECT_FALSE(c.templates->isEnabled());
  // The vendor's post-back refills the page's template list, and ours from it.
  ASSERT_TRUE(choose(w, c.vendors, 3));
  EXPECT_EQ(items(c.templates), (QStringList{u("腾讯游戏-接口直冲模版A"), u("腾讯游戏-接口直冲模版B")}));
  EXPECT_TRUE(c.templates->isEnabled());
  ASSERT_TRUE(choose(w, c.templates, 1));
  EXPECT_EQ(harness::page_script(ctx_->main_browser(), "document.getElementById('ddlTemplate').selectedIndex").toInt(), 1);
  const QJsonArray postbacks = harness::demo_state()["templates"].toObject()["postbacks"].toArray();
  ASSERT_EQ(postbacks.size(), 2);
  EXPECT_EQ(postbacks[0].toObject()["target"].toString(), "rblType$5");
  EXPECT_EQ(postbacks[1].toObject()["target"].toString(), "ddlGameCompany");

  // A selection made by code is no choice: nothing runs.
  c.types->setCurrentIndex(1);
  c.vendors->setCurrentIndex(0);
  harness::wait_until([] { return false; }, 400);
  EXPECT_EQ(harness::demo_state()["templates"].toObject()["postbacks"].toArray().size(), 2);
  EXPECT_EQ(items(c.templates).size(), 2);
  EXPECT_TRUE(c.vendors->isEnabled());
  EXPECT_EQ(w->radio(), 6);
}

TEST_P(TemplatesOnLine, ApplyingSetsEveryProductAsChosen) {
  paced_and_fast(GetParam().both_modes, kWalkScale, [&] {
    // Two pages (2 + 1 products): links 1, 2, 3 and 3 again.
    ASSERT_TRUE(harness::shape_list(demo(), 3, 0, 2));
    TemplatesWindow* w = open_window();
    ASSERT_TRUE(analyse(w));
    ASSERT_EQ(links(w), links_of(1, 3) + links_of(3, 3));
    ASSERT_TRUE(harness::wait_until([] { return browser_pid() == "1" && ctx_->main_browser()->ready_state() == 4; }));
    const auto& c = w->controls();
    ASSERT_TRUE(choose(w, c.types, 5));
    ASSERT_TRUE(choose(w, c.vendors, 3));
    ASSERT_TRUE(choose(w, c.templates, 1));

    platform::set_wait_scale(kApplyScale);
    QStringList texts;
    QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) { texts << t; });
    bool start_off = true;
    QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) {
      if (t.contains(u("正在设置"))) start_off = start_off && !c.start->isEnabled() && !ctx_->main_browser()->input_enabled();
    });
    ASSERT_TRUE(apply(w));
    EXPECT_EQ(texts, (QStringList{u("状态:共4个正在设置第1个商品的模版   "), u("状态:共4个正在设置第2个商品的模版   "),
                                  u("状态:共4个正在设置第3个商品的模版   "), u("状态:共4个正在设置第4个商品的模版   "),
                                  u("状态:商品模版设置完毕")}));
    EXPECT_TRUE(start_off);
    EXPECT_EQ(w->product_number(), 4);
    EXPECT_TRUE(c.start->isEnabled());
    EXPECT_TRUE(ctx_->main_browser()->input_enabled());

    // Every product: the 6th radio, option 4 of ddlGameCompany, option 2 of ddlTemplate.
    ASSERT_TRUE(submitted(4));
    const QJsonArray set = settings();
    ASSERT_EQ(set.size(), 3);
    for (int i = 0; i < 3; ++i) {
      const QJsonObject s = set[i].toObject();
      EXPECT_EQ(s["product"].toInt(), i + 1);
      EXPECT_EQ(s["radio"].toInt(), 6);
      EXPECT_EQ(s["type"].toString(), u("接口直冲"));
      EXPECT_EQ(s["vendor_option"].toInt(), 4);
      EXPECT_EQ(s["vendor"].toString(), u("腾讯游戏"));
      EXPECT_EQ(s["template_option"].toInt(), 2);
    }
    // One submission per link, each with what was chosen.
    const QJsonArray sent = submissions();
    ASSERT_EQ(sent.size(), 4);
    for (const QJsonValue& v : sent) {
      EXPECT_TRUE(v.toObject()["saved"].toBool());
      EXPECT_EQ(v.toObject()["template_option"].toInt(), 2);
    }
    EXPECT_EQ(sent[3].toObject()["product"].toInt(), 3);
    // Nothing but the choice's and the products' own post-backs: none on another product.
    for (const QJsonValue& v : harness::demo_state()["templates"].toObject()["postbacks"].toArray())
      EXPECT_LE(v.toObject()["product"].toInt(), 3);
    // The journal: the analysis, then one item per product, keyed by its template link, with
    // the choice, every one done.
    const auto runs = harness::journal_runs(exe_dir());
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[1].run.tool, "[完美]设类型模版");
    EXPECT_EQ(runs[1].run.ending, "finished");
    ASSERT_EQ(runs[1].items.size(), 1u);
    EXPECT_EQ(runs[1].items[0].detail, "共2页，4个链接");
    EXPECT_EQ(runs[0].run.tool, "[完美]设类型模版");
    EXPECT_EQ(runs[0].run.ending, "finished");
    EXPECT_EQ(runs[0].run.items_todo, 4);
    ASSERT_EQ(runs[0].items.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(QString::fromStdString(runs[0].items[i].key), (links_of(1, 3) + links_of(3, 3))[static_cast<int>(i)]);
      EXPECT_EQ(QString::fromStdString(runs[0].items[i].detail), u("接口直冲 / 腾讯游戏 / 腾讯游戏-接口直冲模版B"));
      EXPECT_FALSE(runs[0].items[i].problem) << *runs[0].items[i].problem;
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Lines, TemplatesOnLine,
                         ::testing::Values(Line{"FastBothModes", 0, 0, true}, kSlow), line_name);

TEST_F(Templates, ASlowPlatformsPagesAreEachReadOnceLoaded) {
  // Each post-back takes 0.7 s, longer than the walk's (shortened) 0.3 s wait.
  ASSERT_TRUE(harness::shape_list(demo(), 25, 0, 10, true, 700));
  TemplatesWindow* w = open_window();
  ASSERT_TRUE(analyse(w));
  EXPECT_EQ(links(w), links_of(1, 25) + links_of(21, 25));
  EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"), (QStringList{"1", "2", "3", "4"}));
}

TEST_F(Templates, NumberSelectionLeavesTheListsDisabledAndSetsTheSecondRadio) {
  ASSERT_TRUE(harness::shape_list(demo(), 3));
  TemplatesWindow* w = open_window();
  ASSERT_TRUE(analyse(w));
  ASSERT_TRUE(harness::wait_until([] { return browser_pid() == "1" && ctx_->main_browser()->ready_state() == 4; }));
  const auto& c = w->controls();
  // Through the vendor lists of a top-up type first: "选号" closes them again.
  ASSERT_TRUE(choose(w, c.types, 2));
  EXPECT_TRUE(c.vendors->isEnabled());
  ASSERT_TRUE(choose(w, c.types, 1));
  EXPECT_FALSE(c.vendors->isEnabled());
  EXPECT_FALSE(c.templates->isEnabled());
  EXPECT_EQ(w->radio(), 2);

  platform::set_wait_scale(kApplyScale);
  ASSERT_TRUE(apply(w));
  ASSERT_TRUE(submitted(6));  // one page: every product twice
  const QJsonArray set = settings();
  ASSERT_EQ(set.size(), 3);
  for (const QJsonValue& v : set) {
    EXPECT_EQ(v.toObject()["radio"].toInt(), 2);
    EXPECT_EQ(v.toObject()["type"].toString(), u("选号"));
    EXPECT_EQ(v.toObject()["vendor_option"].toInt(), 0);
  }
  EXPECT_EQ(submissions().size(), 6);
  EXPECT_FALSE(c.vendors->isEnabled());
}

TEST_F(Templates, CardCodesWithoutAnyChoiceIsTheFirstRadio) {
  // The window opens with "卡密" selected: "2.开始" applies it without a choice.
  ASSERT_TRUE(harness::shape_list(demo(), 2));
  TemplatesWindow* w = open_window();
  ASSERT_TRUE(analyse(w));
  platform::set_wait_scale(kApplyScale);
  ASSERT_TRUE(apply(w));
  ASSERT_TRUE(submitted(4));
  const QJsonArray set = settings();
  ASSERT_EQ(set.size(), 2);
  for (const QJsonValue& v : set) EXPECT_EQ(v.toObject()["radio"].toInt(), 1);
}

// ---------------------------------------------------------------------------------
// Bad input

TEST_F(Templates, AListWithoutProductsFindsNothingAndNavigatesNowhere) {
  // After an analysis that found products, one that finds none.
  ASSERT_TRUE(harness::shape_list(demo(), 2));
  TemplatesWindow* w = open_window();
  ASSERT_TRUE(analyse(w));
  const auto& c = w->controls();
  ASSERT_TRUE(c.start->isEnabled());
  ASSERT_TRUE(harness::wait_until([] { return browser_pid() == "1" && ctx_->main_browser()->ready_state() == 4; }));
  ASSERT_TRUE(harness::shape_list(demo(), 0));
  ctx_->navigate_main(std::string(kDemoRoot) + "/SelfProduct/SelfProductList.aspx");
  ASSERT_TRUE(harness::wait_until([] { return on_list(*ctx_); }));
  ASSERT_TRUE(analyse(w));
  EXPECT_EQ(c.status->text(), u("状态:未找到商品"));
  EXPECT_FALSE(c.start->isEnabled());
  EXPECT_TRUE(c.analyse->isEnabled());
  EXPECT_FALSE(c.types->isEnabled());
  EXPECT_TRUE(w->links().empty());
  harness::wait_until([] { return false; }, 300);
  EXPECT_EQ(ctx_->main_browser()->url().path(), "/SelfProduct/SelfProductList.aspx");
  EXPECT_EQ(harness::demo_state()["templates"].toObject()["views"].toInt(), 0);
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  // One page offered: two passes.
  EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"), (QStringList{"1", "2"}));
}

TEST_F(Templates, AListWithoutPagerIsWalkedOnceAndItsProductsSet) {
  ASSERT_TRUE(harness::shape_list(demo(), 3, 0, 10, false));
  TemplatesWindow* w = open_window();
  QStringList texts;
  QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) { texts << t; });
  ASSERT_TRUE(analyse(w));
  EXPECT_EQ(texts.mid(1, 2), (QStringList{u("状态:当前页数为0"), u("正在分析第1页")}));
  EXPECT_EQ(links(w), links_of(1, 3));
  platform::set_wait_scale(kApplyScale);
  ASSERT_TRUE(apply(w));
  ASSERT_TRUE(submitted(3));
  EXPECT_EQ(settings().size(), 3);
}

TEST_F(Templates, TemplatePagesThatDoNotLoadAreNotDoneAndTheRestIsSet) {
  ASSERT_TRUE(harness::shape_list(demo(), 3));
  TemplatesWindow* w = open_window();
  ASSERT_TRUE(analyse(w));
  ASSERT_EQ(w->links().size(), 6u);
  // Products 2 and 3 are gone: their template pages fail on the platform.
  ASSERT_TRUE(harness::shape_list(demo(), 1));
  // The waits of the products that fail are short, so is their page limit.
  platform::set_wait_scale(kApplyScale);
  QObject::connect(w, &TemplatesWindow::status_text_changed, [](const QString& t) {
    // Links 1, 2, 3, 1, 2, 3: the first and the fourth can be set.
    if (t.contains(u("正在设置第")))
      platform::set_wait_scale(t.contains(u("第1个")) || t.contains(u("第4个")) ? kApplyScale : 0.02);
  });
  ASSERT_TRUE(apply(w));
  EXPECT_EQ(w->controls().status->text(), u("状态:设置结束，6个商品中有4个未完成（详见运行记录）"));
  const QJsonArray set = settings();
  ASSERT_EQ(set.size(), 1);
  EXPECT_EQ(set[0].toObject()["product"].toInt(), 1);
  EXPECT_EQ(submissions().size(), 2);
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  EXPECT_TRUE(w->controls().start->isEnabled());
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_FALSE(runs.empty());
  EXPECT_EQ(runs[0].run.ending, "finished");
  const auto missed = not_done_items(runs[0]);
  ASSERT_EQ(missed.size(), 2u);  // by key: products 2 and 3, each twice
  EXPECT_EQ(runs[0].items[1].problem.value_or(""),
            "页面未就绪：应为第2个商品的模版页（/SelfProduct/ProductTemplate.aspx?PID=2，btnSubmit），实为" +
                std::string(kDemoRoot) + "/SelfProduct/ProductTemplate.aspx?PID=2（已载入，缺少 btnSubmit）");
  for (std::size_t i : {0u, 3u}) EXPECT_FALSE(runs[0].items[i].problem);
}

// A product's page that does not come the way it should: it is not done, nothing lands on
// another product, and the run goes on (or ends, for an expired login).
struct PageFault {
  const char* name;
  const char* kind;  // the fault of product 2's template page
  bool close;        // the window is closed during the page wait
};

class TemplatePageFaults : public Templates, public ::testing::WithParamInterface<PageFault> {};

TEST_P(TemplatePageFaults, AProductWhosePageDoesNotComeIsNotDone) {
  const PageFault& f = GetParam();
  ASSERT_TRUE(harness::shape_list(demo(), 3, 0, 10, false));
  TemplatesWindow* w = open_window();
  QPointer<TemplatesWindow> guard(w);
  ASSERT_TRUE(analyse(w));
  ASSERT_EQ(links(w), links_of(1, 3));
  // The analysis showed product 1's page; product 1 takes three requests ("卡密": the page,
  // the radio's post-back, the submission); the next is product 2's page.
  fault(f.kind, "/SelfProduct/ProductTemplate.aspx", 4);
  platform::set_wait_scale(kApplyScale);
  // Product 2's page limit is short; when the window is closed during that wait, the
  // whole limit, and the close ends it within a second.
  QStringList texts;
  QElapsedTimer closed;
  QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) {
    texts << t;
    if (t.contains(u("正在设置第")))
      platform::set_wait_scale(!t.contains(u("第2个")) ? kApplyScale : f.close ? 1.0 : 0.02);
    if (f.close && t.contains(u("第2个")))
      QTimer::singleShot(1500, w, [&] {
        closed.start();
        w->close();
      });
  });
  QString login_box;
  harness::BoxAnswer answer(platform::kTitleHint, &login_box);
  QSignalSpy finished(w, &TemplatesWindow::applying_finished);
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return finished.count() > 0 || guard.isNull(); }, 60000));
  if (f.close) {
    EXPECT_LT(closed.elapsed(), 1000);
  }
  harness::wait_until([] { return false; }, 200);
  // Product 1 only, or products 1 and 3: never product 2, nothing on another product.
  const bool goes_on = std::string(f.kind) != "expire" && !f.close;
  const QJsonArray set = settings();
  ASSERT_EQ(set.size(), goes_on ? 2 : 1);
  EXPECT_EQ(set[0].toObject()["product"].toInt(), 1);
  if (goes_on) {
    EXPECT_EQ(set[1].toObject()["product"].toInt(), 3);
  }
  for (const QJsonValue& v : submissions()) EXPECT_NE(v.toObject()["product"].toInt(), 2);
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 2u);
  const auto& run = runs[0];
  if (f.close) {
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(run.run.ending, "window_closed");
    return;
  }
  ASSERT_GE(run.items.size(), 2u);
  const std::string problem = run.items[1].problem.value_or("");
  if (!goes_on) {
    // The login page: the run ends at once, told in the status line and a box.
    EXPECT_EQ(run.run.ending, "login_expired");
    EXPECT_EQ(run.items.size(), 2u);
    EXPECT_EQ(problem, tools::login_expired_text().toStdString());
    EXPECT_TRUE(harness::wait_until([&] { return !login_box.isEmpty(); }, 3000));
    EXPECT_EQ(login_box, tools::login_expired_text());
    EXPECT_EQ(texts.last(), tools::login_expired_text());
    EXPECT_TRUE(w->controls().start->isEnabled());
    ASSERT_TRUE(harness::log_in(ctx_->main_browser(), kDemoRoot));
    return;
  }
  EXPECT_EQ(run.run.ending, "finished");
  EXPECT_EQ(not_done_items(run).size(), 1u);
  EXPECT_NE(problem.find("第2个商品的模版页"), std::string::npos) << problem;
  EXPECT_NE(problem.find(std::string(f.kind) == "hang" ? "正在载入" : "缺少 btnSubmit"), std::string::npos) << problem;
  EXPECT_EQ(texts.last(), u("状态:设置结束，3个商品中有1个未完成（详见运行记录）"));
}

INSTANTIATE_TEST_SUITE_P(
    Pages, TemplatePageFaults,
    ::testing::Values(PageFault{"ErrorPage", "error", false}, PageFault{"NeverFinishes", "hang", false},
                      PageFault{"LoginPage", "expire", false}, PageFault{"WindowClosedDuringTheWait", "hang", true}),
    [](const auto& info) { return std::string(info.param.name); });

// An analysis whose list page or first template page does not come offers nothing.
TEST_F(Templates, AnAnalysisThatCannotReadItsPagesOffersNothingToApply) {
  for (const bool walk : {true, false}) {
    SCOPED_TRACE(walk ? "page turn" : "first template page");
    ASSERT_TRUE(harness::shape_list(demo(), 25));
    TemplatesWindow* w = open_window();
    // The second page turn, or product 1's template page.
    if (walk) fault("error", "/SelfProduct/SelfProductList.aspx", 1);
    else fault("hang", "/SelfProduct/ProductTemplate.aspx");
    platform::set_wait_scale(0.02);
    ASSERT_TRUE(analyse(w));
    const auto& c = w->controls();
    EXPECT_EQ(c.status->text(), walk ? u("状态:商品列表翻页未就绪，分析已停止（详见运行记录）")
                                     : u("状态:第一个商品的模版页未就绪，分析已停止（详见运行记录）"));
    EXPECT_TRUE(w->links().empty());
    EXPECT_TRUE(c.links->toPlainText().isEmpty());
    EXPECT_FALSE(c.start->isEnabled());
    EXPECT_FALSE(c.types->isEnabled());
    EXPECT_TRUE(c.analyse->isEnabled());
    EXPECT_TRUE(ctx_->main_browser()->input_enabled());
    // No page turn after the one that did not come (which the platform did not record).
    EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"),
              walk ? QStringList{"1"} : (QStringList{"1", "2", "3", "4"}));
    const auto runs = harness::journal_runs(exe_dir());
    ASSERT_FALSE(runs.empty());
    EXPECT_EQ(runs[0].run.ending, "page_not_ready");
    ASSERT_EQ(runs[0].items.size(), 1u);
    const std::string problem = runs[0].items[0].problem.value_or("");
    EXPECT_NE(problem.find(walk ? "页面未就绪：应为商品列表第2页" : "页面未就绪：应为第1个商品的模版页"), std::string::npos)
        << problem;
    w->close();
    demo().post("/demo/reset", "");
  }
}

TEST_F(Templates, AChoiceActsOnlyOnATemplatePage) {
  ASSERT_TRUE(harness::shape_list(demo(), 3));
  TemplatesWindow* w = open_window();
  ASSERT_TRUE(analyse(w));
  ASSERT_TRUE(harness::wait_until([] { return browser_pid() == "1" && ctx_->main_browser()->ready_state() == 4; }));
  // The browser shows the list again: the choice waits for a template page, and does not
  // read the list.
  ctx_->navigate_main(std::string(kDemoRoot) + "/SelfProduct/SelfProductList.aspx");
  ASSERT_TRUE(harness::wait_until([] { return on_list(*ctx_); }));
  platform::set_wait_scale(0.02);
  const auto& c = w->controls();
  ASSERT_TRUE(choose(w, c.types, 5));
  EXPECT_EQ(c.vendors->count(), 0);
  EXPECT_FALSE(c.vendors->isEnabled());
  EXPECT_TRUE(c.status->text().startsWith(u("页面未就绪：应为商品的模版页（/SelfProduct/ProductTemplate.aspx，btnSubmit）")))
      << c.status->text().toStdString();
  EXPECT_TRUE(harness::demo_state()["templates"].toObject()["postbacks"].toArray().isEmpty());
  EXPECT_TRUE(on_list(*ctx_));
}

TEST_F(Templates, APagerOfFiveHundredPagesIsCountedAndWalkedUntilTheWindowCloses) {
  ASSERT_TRUE(harness::shape_list(demo(), 5000));
  TemplatesWindow* w = open_window();
  QPointer<TemplatesWindow> guard(w);
  QStringList texts;
  QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) {
    texts << t;
    if (t == u("正在分析第3页")) QTimer::singleShot(0, w, &QWidget::close);
  });
  QTimer::singleShot(0, w->controls().analyse, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 30000));
  EXPECT_EQ(texts.mid(0, 3), (QStringList{u("状态:正在计算页数，请勿操作"), u("状态:当前页数为500"), u("正在分析第1页")}));
  EXPECT_EQ(texts.size(), 5);
  // The walk ended with the window: no post-back after the third.
  harness::wait_until([] { return false; }, 600);
  EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"), (QStringList{"1", "2", "3"}));
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
}

TEST_F(Templates, ClosingTheWindowWhileApplyingEndsTheRunAndGivesTheBrowserBack) {
  ASSERT_TRUE(harness::shape_list(demo(), 6));
  TemplatesWindow* w = open_window();
  ASSERT_TRUE(analyse(w));
  QPointer<TemplatesWindow> guard(w);
  platform::set_wait_scale(kApplyScale);
  QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) {
    if (t.contains(u("正在设置第2个"))) QTimer::singleShot(0, w, &QWidget::close);
  });
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return guard.isNull(); }, 30000));
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  harness::wait_until([] { return false; }, 1500);
  EXPECT_LE(submissions().size(), 2);
}

TEST_F(Templates, TheMainWindowGoingDuringEachRunEndsNothingBadly) {
  // Its own browser, since the main window's going deletes it.
  for (int phase = 0; phase < 3; ++phase) {
    SCOPED_TRACE(phase);
    ASSERT_TRUE(harness::shape_list(demo(), 3));
    harness::TestContext ctx;
    ctx.set_exe_dir(exe_dir());
    ctx.set_address_text(kDemoRoot);
    TemplatesWindow* w = open_window(ctx);
    QPointer<TemplatesWindow> guard(w);
    platform::set_wait_scale(kWalkScale);
    if (phase > 0) {
      ASSERT_TRUE(analyse(w));
      ASSERT_TRUE(harness::wait_until([&] { return ctx.main_browser()->ready_state() == 4; }));
    }
    auto main_window_goes = [&] {
      tools::ToolWindow::shut_down_all();
      ctx.close_browser();
    };
    bool ended = false;
    if (phase == 0) {
      // During the walk.
      QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) {
        if (t == u("正在分析第1页")) QTimer::singleShot(0, main_window_goes);
      });
      QObject::connect(w, &TemplatesWindow::analysis_finished, [&] { ended = true; });
      QTimer::singleShot(0, w->controls().analyse, &QPushButton::click);
    } else if (phase == 1) {
      // During a choice.
      QObject::connect(w, &TemplatesWindow::choice_finished, [&] { ended = true; });
      QTimer::singleShot(50, main_window_goes);
      w->controls().types->setCurrentIndex(4);
      QTimer::singleShot(0, w, [w] { emit w->controls().types->activated(4); });
    } else {
      // While applying.
      platform::set_wait_scale(kApplyScale);
      QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) {
        if (t.contains(u("正在设置第2个"))) QTimer::singleShot(0, main_window_goes);
      });
      QObject::connect(w, &TemplatesWindow::applying_finished, [&] { ended = true; });
      QTimer::singleShot(0, w->controls().start, &QPushButton::click);
    }
    ASSERT_TRUE(harness::wait_until([&] { return ended; }, 60000));
    EXPECT_EQ(ctx.main_browser(), nullptr);
    if (phase != 1) {
      // The run ended with the browser.
      const auto runs = harness::journal_runs(exe_dir());
      ASSERT_FALSE(runs.empty());
      EXPECT_EQ(runs[0].run.ending, "application_ended");
    }
    ASSERT_FALSE(guard.isNull());
    w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
  }
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
}

// ---------------------------------------------------------------------------------
// Pictures for the user guide and the tutorial (written only when asked)

TEST_F(Templates, Screenshots) {
  const QString docs = qEnvironmentVariable("TESSARO_SCREENSHOT_DIR");
  const QString tutorial = qEnvironmentVariable("TESSARO_TUTORIAL_DIR");
  if (docs.isEmpty() && tutorial.isEmpty()) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR / TESSARO_TUTORIAL_DIR not set";
  ASSERT_TRUE(harness::shape_list(demo(), 23));
  ctx_->host()->resize(1000, 640);
  TemplatesWindow* w = open_window();
  w->move(0, 0);
  // The browser beside the tool window, as the user sees both.
  auto picture = [&](const QString& path) {
    harness::wait_until([] { return false; }, 500);
    const QPixmap page = ctx_->host()->grab();
    const QPixmap tool = w->grab();
    QPixmap both(page.width() + tool.width() + 12, std::max(page.height(), tool.height()));
    both.fill(QColor(0xe8, 0xea, 0xee));
    QPainter p(&both);
    p.drawPixmap(0, 0, page);
    p.drawPixmap(page.width() + 12, 0, tool);
    p.end();
    ASSERT_TRUE(both.scaledToWidth(1100, Qt::SmoothTransformation).save(path));
  };
  if (!tutorial.isEmpty()) picture(tutorial + "/1.png");
  ASSERT_TRUE(analyse(w));
  ASSERT_TRUE(harness::wait_until([] { return browser_pid() == "1" && ctx_->main_browser()->ready_state() == 4; }));
  const auto& c = w->controls();
  ASSERT_TRUE(choose(w, c.types, 3));
  ASSERT_TRUE(choose(w, c.vendors, 1));
  ASSERT_TRUE(choose(w, c.templates, 1));
  if (!tutorial.isEmpty()) picture(tutorial + "/2.png");
  if (!docs.isEmpty()) {
    harness::wait_until([] { return false; }, 300);
    ASSERT_TRUE(w->grab().save(docs + "/templates.png"));
  }
  if (!tutorial.isEmpty()) {
    platform::set_wait_scale(kApplyScale);
    QObject::connect(w, &TemplatesWindow::status_text_changed, [&](const QString& t) {
      if (t.contains(u("正在设置第3个"))) picture(tutorial + "/3.png");
    });
    ASSERT_TRUE(apply(w));
  }
}

}  // namespace
