// The bulk sale status against the demo back office, in process: the three buttons, the
// scratch box and the hidden status browser of a stand-in main window, then the real main
// window; waits shortened.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <array>
#include <memory>

#include "app/main_window.h"
#include "app_exits.h"
#include "demo_suite.h"
#include "platform/waits.h"
#include "product_list_demo.h"
#include "qt_test_hooks.h"
#include "status_stand_in.h"
#include "tools/common/bulk_status_parts.h"
#include "tools/common/tool_window.h"
#include "tools/status/bulk_status.h"
#include "tools/status/review_choice.h"

using tools::status::ReviewChoice;

using harness::demo;
using harness::kDemoRoot;
using harness::u;

namespace {

constexpr double kScale = 0.1;

}  // namespace

void tessaro_test_before_app(std::vector<std::string>& args) {
  harness::record_exits();
  harness::start_demo(args);
}

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

const QStringList& kCaptions = harness::kStatusCaptions;

using MainStandIn = harness::StatusStandIn;

// One status request as the demo recorded it.
struct Sent {
  QString pid;
  QString status;
  int applied = 0;
};

std::vector<Sent> status_requests() {
  std::vector<Sent> out;
  for (const QJsonValue& v : harness::recorded("status_requests")) {
    const QJsonObject o = v.toObject();
    out.push_back({o["pid"].toString(), o["status"].toString(), o["applied"].toInt()});
  }
  return out;
}

QString ids(int first, int last) {
  QStringList out;
  for (int i = first; i <= last; ++i) out << QString::number(i);
  return out.join(',');
}

// Product statuses by id ("0" on sale, "1" paused, "2" forbidden).
QMap<int, QString> product_statuses() {
  QMap<int, QString> out;
  for (const QJsonValue& v : harness::demo_products(demo())) out[v.toObject()["id"].toInt()] = v.toObject()["status"].toString();
  return out;
}

ReviewChoice* visible_choice() {
  return harness::top_level<ReviewChoice>([](ReviewChoice* c) { return c->isVisible(); });
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

class BulkStatus : public harness::DemoSuite<> {
 protected:
  // Each test shapes the list itself.
  explicit BulkStatus(const Line& line = kFast, double scale = kScale)
      : DemoSuite({.wait_scale = scale, .reset = false, .latency_ms = line.latency_ms, .jitter_ms = line.jitter_ms}) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DemoSuite::SetUp());
    main_ = std::make_unique<MainStandIn>(*ctx_);
  }
  void TearDown() override {
    main_.reset();
    DemoSuite::TearDown();
  }

  // Presses button index, picks the review link (0 the unreviewed products, 1 the
  // reviewed ones, -1 closes the choice window) once the list is shown, answers the done
  // message; true when the run returned. Every caption the pressed button showed in
  // between lands in captions.
  bool run(int index, int link, QStringList* captions = nullptr, QString* done = nullptr, int timeout_ms = 60000) {
    bool returned = false;
    QPointer<QPushButton> pressed = main_->parts.buttons[static_cast<std::size_t>(index)];
    QTimer watch;
    bool picked = false;
    bool busy = false;  // a look at the page processes events: no second look inside it
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (busy) return;
      if (captions && pressed && (captions->isEmpty() || captions->last() != pressed->text()))
        *captions << pressed->text();
      ReviewChoice* choice = visible_choice();
      if (picked || !choice) return;
      busy = true;
      const bool shown = list_shown();
      busy = false;
      if (!shown) return;
      picked = true;
      if (link == 0) emit choice->unreviewed_link()->linkActivated("choose");
      else if (link == 1) emit choice->reviewed_link()->linkActivated("choose");
      else choice->close();
    });
    watch.start(2);
    harness::BoxAnswer answer(u("信息："), done);
    QTimer::singleShot(0, [&] {
      if (pressed) pressed->click();
      returned = true;
    });
    return harness::wait_until([&] { return returned; }, timeout_ms);
  }

  static bool list_shown() {
    platform::BrowserView* b = ctx_->main_browser();
    return b && b->url().path() == "/SelfProduct/SelfProductList.aspx" && b->ready_state() == 4 &&
           harness::page_script(b, "document.readyState").toString() == "complete";
  }

  void expect_captions_back() {
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(main_->parts.buttons[static_cast<std::size_t>(i)]->text(), kCaptions[i]) << i;
      EXPECT_TRUE(main_->parts.buttons[static_cast<std::size_t>(i)]->isEnabled()) << i;
    }
    EXPECT_TRUE(ctx_->main_browser()->input_enabled());
  }

  // A fault of kind for the requests of path, after the first `after` of them.
  static void fault(const std::string& kind, const std::string& path, int after) {
    demo().post("/demo/fault", "kind=" + kind + "&path=" + testsupport::url_encode(path) +
                                   "&after=" + std::to_string(after) + "&count=1");
  }

  std::unique_ptr<MainStandIn> main_;
};

class BulkStatusOnLine : public BulkStatus, public ::testing::WithParamInterface<Line> {
 protected:
  BulkStatusOnLine() : BulkStatus(GetParam()) {}
};

std::string line_name(const ::testing::TestParamInfo<Line>& info) { return info.param.name; }

TEST_P(BulkStatusOnLine, ThreePagesOfTenTenAndFiveGiveThreeRequestsOfTenIds) {
  paced_and_fast(GetParam().both_modes, kScale, [&] {
    ASSERT_TRUE(harness::shape_list(demo(), 25));
    QStringList captions;
    QString done;
    bool others_off = true;
    bool input_off = true;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
      if (main_->parts.buttons[0]->text() != kCaptions[0]) {
        others_off = others_off && !main_->parts.buttons[1]->isEnabled() && !main_->parts.buttons[2]->isEnabled() &&
                     !main_->parts.buttons[0]->isEnabled();
        input_off = input_off && !ctx_->main_browser()->input_enabled();
      }
    });
    probe.start(5);
    ASSERT_TRUE(run(0, 1, &captions, &done));
    probe.stop();

    EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"), (QStringList{"1", "2", "3", "4"}));
    const auto sent = status_requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].pid, "," + ids(1, 10));
    EXPECT_EQ(sent[1].pid, "," + ids(11, 20));
    EXPECT_EQ(sent[2].pid, "," + ids(21, 25) + "," + ids(21, 25));  // page 3 twice
    for (const Sent& s : sent) EXPECT_EQ(s.status, "1");
    EXPECT_EQ(sent[2].applied, 10);

    // The pressed button told the progress, then "正在执行,勿动" during the posts.
    EXPECT_EQ(captions, (QStringList{kCaptions[0], u("状态:当前页数为3"), u("正在分析第1页"), u("正在分析第2页"),
                                     u("正在分析第3页"), u("正在分析第4页"), u("正在执行,勿动"), kCaptions[0]}));
    EXPECT_TRUE(others_off);
    EXPECT_TRUE(input_off);
    EXPECT_EQ(done, u("销售全部商品处理完毕！"));
    expect_captions_back();
    // The journal: the list, then one item per request, keyed by its id group, each done.
    const auto runs = harness::journal_runs(exe_dir());
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].run.tool, "销售全部商品");
    EXPECT_EQ(runs[0].run.ending, "finished");
    EXPECT_NE(runs[0].run.settings_json.find("\"status\":1"), std::string::npos) << runs[0].run.settings_json;
    ASSERT_EQ(runs[0].items.size(), 4u);
    EXPECT_EQ(runs[0].items[0].key, "商品列表");
    EXPECT_EQ(runs[0].items[0].detail, "审核通过的商品，共3页，30个商品编号，3组");
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(QString::fromStdString(runs[0].items[i + 1].key), sent[i].pid.mid(1));
    for (const auto& item : runs[0].items) EXPECT_FALSE(item.problem) << *item.problem;
    // The scratch box holds the walk's links; the status browser was never shown.
    EXPECT_EQ(main_->parts.scratch->toPlainText().count("SelfProduct/ProductTemplate.aspx?PID="), 30);
    EXPECT_FALSE(main_->parts.status_browser->isVisible());
    // The main browser reloads the list it shows.
    EXPECT_TRUE(harness::wait_until([] {
      const QJsonArray r = harness::demo_state()["product_list"].toObject()["requests"].toArray();
      return r.last().toObject()["method"].toString() == "GET";
    }));
  });
}

TEST_F(BulkStatus, EachButtonSendsItsStatusCodeAndEveryCaptionComesBack) {
  ASSERT_TRUE(harness::shape_list(demo(), 3));
  const char* codes[3] = {"1", "0", "-1"};
  const char* product_status[3] = {"0", "1", "2"};
  for (int index : {1, 2, 0}) {
    SCOPED_TRACE(index);
    demo().post("/demo/reset", "");
    QString done;
    ASSERT_TRUE(run(index, 1, nullptr, &done));
    const auto sent = status_requests();
    ASSERT_EQ(sent.size(), 1u);  // one page: its 3 ids twice, one group
    EXPECT_EQ(sent[0].pid, ",1,2,3,1,2,3");
    EXPECT_EQ(sent[0].status, codes[index]);
    for (const QString& s : product_statuses()) EXPECT_EQ(s, product_status[index]);
    EXPECT_EQ(done, kCaptions[index] + u("处理完毕！"));
    expect_captions_back();
  }
}

INSTANTIATE_TEST_SUITE_P(Lines, BulkStatusOnLine, ::testing::Values(Line{"FastBothModes", 0, 0, true}, kSlow),
                         line_name);

TEST_P(BulkStatusOnLine, TheFirstReviewLinkSwitchesToTheUnreviewedProducts) {
  // Two pages of reviewed products, one of unreviewed ones: the walk runs on the switched
  // list only, and no reviewed product is touched.
  ASSERT_TRUE(harness::shape_list(demo(), 23, 3));
  QString done;
  ASSERT_TRUE(run(2, 0, nullptr, &done));
  EXPECT_EQ(harness::list_postbacks(demo(), "lbtn22"), (QStringList{""}));
  EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"), (QStringList{"1", "2"}));
  for (const QJsonValue& v : harness::demo_state()["product_list"].toObject()["requests"].toArray())
    if (v.toObject()["target"].toString() == "AspNetPager1") {
      EXPECT_EQ(v.toObject()["list"].toString(), "unreviewed");
    }
  const auto sent = status_requests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].pid, ",24,25,26,24,25,26");
  EXPECT_EQ(sent[0].status, "-1");
  const auto statuses = product_statuses();
  for (int id = 1; id <= 23; ++id) EXPECT_EQ(statuses[id], "0") << id;
  for (int id = 24; id <= 26; ++id) EXPECT_EQ(statuses[id], "2") << id;
  EXPECT_EQ(done, u("禁售全部商品处理完毕！"));
  expect_captions_back();
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].run.tool, "禁售全部商品");
  EXPECT_NE(runs[0].run.settings_json.find("\"list\":\"unreviewed\""), std::string::npos);
}

TEST_F(BulkStatus, ClosingTheChoiceWindowLeavesTheListAsItIs) {
  ASSERT_TRUE(harness::shape_list(demo(), 2, 2));
  ASSERT_TRUE(run(1, -1));
  EXPECT_TRUE(harness::list_postbacks(demo(), "lbtn22").isEmpty());
  const auto sent = status_requests();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].pid, ",1,2,1,2");
}

TEST_F(BulkStatus, TwoPagesAndThreeIdsSendTwoRequestsAndDropTheThird) {
  // One product per page: ids 1, 2 and 2 again.
  ASSERT_TRUE(harness::shape_list(demo(), 2, 0, 1));
  ASSERT_TRUE(run(1, 1));
  const auto sent = status_requests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].pid, ",1");
  EXPECT_EQ(sent[1].pid, ",2");
  EXPECT_EQ(sent[1].status, "0");
}

// The list that is not the one chosen, or a page turn that does not come: the run ends
// before anything is posted, and says so.
struct ListFault {
  const char* name;
  const char* kind;  // of the list's request after the first `after`
  int after;
  int link;          // the review link chosen
  const char* message;
  const char* ending;
};

class BulkStatusListFaults : public BulkStatus, public ::testing::WithParamInterface<ListFault> {
 protected:
  // The page limit lasts 0.9 s.
  BulkStatusListFaults() : BulkStatus(kFast, 0.03) {}
};

TEST_P(BulkStatusListFaults, NothingIsPostedWhenTheChosenListIsNotTheOneShown) {
  const ListFault& f = GetParam();
  ASSERT_TRUE(harness::shape_list(demo(), 23, 3));
  fault(f.kind, "/SelfProduct/SelfProductList.aspx", f.after);
  QString done, hint;
  harness::BoxAnswer hint_box(platform::kTitleHint, &hint);
  ASSERT_TRUE(run(2, f.link, nullptr, &done));
  harness::wait_until([&] { return !hint.isEmpty(); }, 1000);
  EXPECT_TRUE(status_requests().empty());
  EXPECT_EQ(harness::demo_state()["status_pages"].toInt(), 0);
  for (const QString& status : product_statuses()) EXPECT_EQ(status, "0");
  EXPECT_EQ(done, u(f.message));
  EXPECT_EQ(hint, std::string(f.kind) == "expire" ? tools::login_expired_text() : QString());
  expect_captions_back();
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].run.ending, f.ending);
  ASSERT_EQ(runs[0].items.size(), 1u);
  EXPECT_EQ(runs[0].items[0].key, "商品列表");
  EXPECT_TRUE(runs[0].items[0].problem);
  demo().post("/demo/reset", "");
  if (std::string(f.kind) == "expire") {
    ASSERT_TRUE(harness::log_in(ctx_->main_browser(), kDemoRoot));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Lists, BulkStatusListFaults,
    ::testing::Values(
        // The list page is an error page: no tab to click.
        ListFault{"TabNotOnThePage", "error", 0, 0, "未能切换到所选的商品列表，已停止", "page_not_ready"},
        ListFault{"SwitchNeverFinishes", "hang", 1, 0, "未能切换到所选的商品列表，已停止", "page_not_ready"},
        ListFault{"SwitchGivesTheLoginPage", "expire", 1, 0, "", "login_expired"},
        ListFault{"PageTurnFails", "error", 2, 1,
                  "禁售全部商品已停止：商品列表翻页未就绪，没有提交任何商品（详见运行记录）", "page_not_ready"}),
    [](const auto& info) { return std::string(info.param.name); });

// A group whose status page or answer does not come is not done; the others are posted.
struct GroupFault {
  const char* name;
  const char* kind;  // of the status page's request after the first `after`
  int after;
};

class BulkStatusGroupFaults : public BulkStatus, public ::testing::WithParamInterface<GroupFault> {
 protected:
  // The page limit lasts 0.9 s.
  BulkStatusGroupFaults() : BulkStatus(kFast, 0.03) {}
};

TEST_P(BulkStatusGroupFaults, AGroupWhosePageDoesNotComeIsNotDone) {
  const GroupFault& f = GetParam();
  ASSERT_TRUE(harness::shape_list(demo(), 25));
  fault(f.kind, "/SelfProduct/SetProductStatus.aspx", f.after);
  const bool expired = std::string(f.kind) == "expire";
  QString done, hint;
  harness::BoxAnswer hint_box(platform::kTitleHint, &hint);
  ASSERT_TRUE(run(0, 1, nullptr, &done));
  const auto sent = status_requests();
  std::vector<QString> pids;
  for (const Sent& r : sent) pids.push_back(r.pid);
  if (expired) {
    // The run ends at the login page: nothing is posted, the box tells why.
    EXPECT_TRUE(pids.empty());
    EXPECT_TRUE(done.isEmpty());
    EXPECT_TRUE(harness::wait_until([&] { return !hint.isEmpty(); }, 3000));
    EXPECT_EQ(hint, tools::login_expired_text());
  } else {
    // Group 1 not done (its page failed, or its post never answered and was not
    // applied); groups 2 and 3 posted.
    EXPECT_EQ(pids, (std::vector<QString>{"," + ids(11, 20), "," + ids(21, 25) + "," + ids(21, 25)}));
    EXPECT_EQ(done, u("销售全部商品未全部完成：3组中有1组未完成（详见运行记录）"));
  }
  expect_captions_back();
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].run.ending, expired ? "login_expired" : "finished");
  ASSERT_EQ(runs[0].items.size(), expired ? 2u : 4u);
  const std::string problem = runs[0].items[1].problem.value_or("");
  const std::string want = expired                         ? tools::login_expired_text().toStdString()
                           : std::string(f.kind) == "hang" ? "页面未就绪：应为第1组提交后的页面"
                                                           : "页面未就绪：应为第1组的状态设置页";
  EXPECT_EQ(problem.substr(0, want.size()), want) << problem;
  demo().post("/demo/reset", "");
  if (expired) {
    ASSERT_TRUE(harness::log_in(ctx_->main_browser(), kDemoRoot));
  }
}

INSTANTIATE_TEST_SUITE_P(Groups, BulkStatusGroupFaults,
                         ::testing::Values(GroupFault{"ErrorPage", "error", 0}, GroupFault{"AnswerNeverComes", "hang", 1},
                                           GroupFault{"LoginPage", "expire", 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BulkStatus, NoPagerOrNoProductsSendNothingAndTheDoneMessageFollows) {
  for (bool pager : {false, true}) {
    SCOPED_TRACE(pager);
    ASSERT_TRUE(harness::shape_list(demo(), pager ? 0 : 4, 0, 10, pager));
    QString done;
    ASSERT_TRUE(run(0, 1, nullptr, &done));
    EXPECT_TRUE(status_requests().empty());
    EXPECT_EQ(harness::demo_state()["status_pages"].toInt(), 0);
    // No pager: one pass; one page offered: two.
    EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1").size(), pager ? 2 : 1);
    EXPECT_EQ(done, u("销售全部商品处理完毕！"));
    expect_captions_back();
  }
  // Both runs recorded, with the list alone.
  const auto runs = harness::journal_runs(exe_dir());
  ASSERT_EQ(runs.size(), 2u);
  for (const auto& r : runs) {
    EXPECT_EQ(r.run.ending, "finished");
    ASSERT_EQ(r.items.size(), 1u);
    EXPECT_EQ(r.items[0].key, "商品列表");
  }
}

TEST_F(BulkStatus, TheMainWindowGoingDuringEachPartEndsTheRunQuietly) {
  // 500 pages: the walk is counted and started, and ends with the window.
  ASSERT_TRUE(harness::shape_list(demo(), 5000));
  QStringList captions;
  QTimer killer;
  QObject::connect(&killer, &QTimer::timeout, [&] {
    if (main_ && main_->parts.buttons[0]->text() == u("正在分析第2页")) main_.reset();
  });
  killer.start(2);
  ASSERT_TRUE(run(0, 1, &captions));
  killer.stop();
  EXPECT_EQ(captions.mid(0, 3), (QStringList{kCaptions[0], u("状态:当前页数为500"), u("正在分析第1页")}));
  harness::wait_until([] { return false; }, 800);
  EXPECT_EQ(harness::list_postbacks(demo(), "AspNetPager1"), (QStringList{"1", "2"}));
  EXPECT_TRUE(status_requests().empty());
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());

  // While the review choice is open.
  ASSERT_TRUE(harness::shape_list(demo(), 3));
  main_ = std::make_unique<MainStandIn>(*ctx_);
  bool returned = false;
  bool choice_seen = false;
  killer.disconnect();
  QObject::connect(&killer, &QTimer::timeout, [&] {
    if (main_ && visible_choice()) {
      choice_seen = true;
      main_.reset();
    }
  });
  killer.start(2);
  QTimer::singleShot(0, [&] {
    main_->parts.buttons[1]->click();
    returned = true;
  });
  ASSERT_TRUE(harness::wait_until([&] { return returned; }));
  killer.stop();
  EXPECT_TRUE(choice_seen);
  EXPECT_EQ(visible_choice(), nullptr);
  EXPECT_TRUE(harness::list_postbacks(demo(), "AspNetPager1").isEmpty());

  // While the groups are posted.
  ASSERT_TRUE(harness::shape_list(demo(), 6, 0, 2));
  main_ = std::make_unique<MainStandIn>(*ctx_);
  killer.disconnect();
  QObject::connect(&killer, &QTimer::timeout, [&] {
    if (main_ && !status_requests().empty()) main_.reset();
  });
  killer.start(2);
  ASSERT_TRUE(run(2, 1));
  killer.stop();
  harness::wait_until([] { return false; }, 800);
  EXPECT_EQ(status_requests().size(), 1u);
  EXPECT_TRUE(ctx_->main_browser()->input_enabled());
}

// The application's own main window: its three buttons run the tool with its hidden box
// and browser; closing it during a run (the process would end) harms nothing.
TEST_F(BulkStatus, TheMainWindowsButtonsRunItWithItsHiddenBrowser) {
  main_.reset();
  ASSERT_TRUE(harness::shape_list(demo(), 4, 0, 2));
  QTemporaryDir dir;
  app::MainWindow w(dir.path().toStdString());
  w.show();
  ASSERT_TRUE(w.start_up());
  w.set_address_text(kDemoRoot);
  QPushButton* pause = nullptr;
  for (QPushButton* b : w.findChildren<QPushButton*>()) {
    if (kCaptions.contains(b->text())) {
      EXPECT_TRUE(b->isEnabled()) << b->text().toStdString();
    }
    if (b->text() == kCaptions[1]) pause = b;
  }
  ASSERT_NE(pause, nullptr);
  // Logged in already: the browsers share the profile.
  bool returned = false;
  QString done;
  harness::BoxAnswer answer(u("信息："), &done);
  QTimer pick;
  bool picked = false;
  QObject::connect(&pick, &QTimer::timeout, [&] {
    ReviewChoice* choice = visible_choice();
    platform::BrowserView* b = w.main_browser();
    if (!picked && choice && b->url().path() == "/SelfProduct/SelfProductList.aspx" && b->ready_state() == 4) {
      picked = true;
      emit choice->reviewed_link()->linkActivated("choose");
    }
    if (pause->text() == u("正在分析第2页") && w.isVisible()) w.close();
  });
  pick.start(5);
  QTimer::singleShot(0, [&] {
    pause->click();
    returned = true;
  });
  ASSERT_TRUE(harness::wait_until([&] { return returned; }, 60000));
  EXPECT_EQ(harness::exit_codes(), std::vector<int>{0});
  const auto sent = status_requests();
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[0].pid, ",1,2,3");
  EXPECT_EQ(sent[1].pid, ",4,3,4");
  EXPECT_EQ(sent[0].status, "0");
  EXPECT_EQ(pause->text(), kCaptions[1]);
  EXPECT_EQ(done, u("暂停全部商品处理完毕！"));
  EXPECT_FALSE(w.status_browser()->isVisible());
}

}  // namespace

namespace {

// The review choice and the main window during a run, for the user guide (written only
// when TESSARO_SCREENSHOT_DIR is set).
TEST_F(BulkStatus, Screenshots) {
  const QString docs = qEnvironmentVariable("TESSARO_SCREENSHOT_DIR");
  if (docs.isEmpty()) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  main_.reset();
  ASSERT_TRUE(harness::shape_list(demo(), 25));
  QTemporaryDir dir;
  app::MainWindow w(dir.path().toStdString());
  w.show();
  ASSERT_TRUE(w.start_up());
  w.set_address_text(kDemoRoot);
  QPushButton* sell = nullptr;
  for (QPushButton* b : w.findChildren<QPushButton*>())
    if (b->text() == kCaptions[0]) sell = b;
  ASSERT_NE(sell, nullptr);
  bool returned = false;
  bool choice_taken = false;
  bool main_taken = false;
  harness::BoxAnswer answer(u("信息："), nullptr);
  QTimer shoot;
  QObject::connect(&shoot, &QTimer::timeout, [&] {
    ReviewChoice* choice = visible_choice();
    platform::BrowserView* b = w.main_browser();
    if (!choice_taken && choice && b->url().path() == "/SelfProduct/SelfProductList.aspx" && b->ready_state() == 4) {
      choice_taken = true;
      EXPECT_TRUE(choice->grab().save(docs + "/status-choice.png"));
      emit choice->reviewed_link()->linkActivated("choose");
    }
    if (!main_taken && sell->text() == u("正在分析第2页")) {
      main_taken = true;
      EXPECT_TRUE(w.grab().save(docs + "/status.png"));
    }
  });
  shoot.start(5);
  QTimer::singleShot(0, [&] {
    sell->click();
    returned = true;
  });
  ASSERT_TRUE(harness::wait_until([&] { return returned; }, 60000));
  EXPECT_TRUE(choice_taken);
  EXPECT_TRUE(main_taken);
}

}  // namespace
