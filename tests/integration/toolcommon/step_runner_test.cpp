// Steps that change the page, against the demo back office on a slow or failing line: the
// page a step expects is the one that loaded after its action, at the address and with the
// elements it names; what does not come is recorded as not done; the login page ends the
// run; a stop or a close ends the wait at once.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include "demo_suite.h"
#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "page/confirmer.h"
#include "platform/dialogs.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "platform/script_boxes.h"
#include "tools/common/journal.h"
#include "tools/common/run_mode.h"
#include "tools/common/tool_window.h"

using tools::Arrival;
using tools::Expect;
using tools::ToolRun;

void tessaro_test_before_app(std::vector<std::string>& args) {
  harness::start_demo(args, {"--products", "25"});
}

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

constexpr char kAddForm[] = "/SelfProduct/SelfProductAdd.aspx";
constexpr char kList[] = "/SelfProduct/SelfProductList.aspx";

class StepWindow : public tools::ToolWindow {
  Q_OBJECT
 public:
  using ToolWindow::ToolWindow;
};

QString demo_url(const char* path) { return QString::fromLatin1(harness::kDemoRoot) + QLatin1String(path); }

Expect add_form(const QString& address = QString::fromLatin1(kAddForm)) {
  return Expect::at(QStringLiteral("发布商品页"), address, {"ProductName", "btnSubmit"});
}

// Closes the login box of a run once it shows; its text, "" when none came.
QString take_login_box() {
  QString text;
  harness::wait_until(
      [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
          if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
            text = box->text();
            box->close();
            return true;
          }
        return false;
      },
      2000);
  return text;
}

class Steps : public harness::DemoSuite<StepWindow> {
 protected:
  // The page limit of 30 s lasts 600 ms.
  Steps() : DemoSuite({.wait_scale = 0.02}) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DemoSuite::SetUp());
    window_ = new StepWindow(*ctx_);
    window_->show();
  }
  void TearDown() override {
    tools::RunMode::set_fast(false);
    DemoSuite::TearDown();
    harness::demo().post("/demo/reset", "");
  }

  platform::BrowserView* browser() const { return ctx_->main_browser(); }
  static void latency(int ms, int jitter = 0) { set_latency(ms, jitter); }
  void fault(const std::string& kind, const std::string& path) {
    harness::demo().post("/demo/fault", "kind=" + kind + "&path=" + testsupport::url_encode(path));
  }

  QPointer<StepWindow> window_;
};

TEST_F(Steps, AStepActsOnlyOnThePageThatLoadedAfterItsActionHoweverSlowTheLine) {
  ASSERT_TRUE(harness::load(browser(), demo_url(kAddForm)));
  // The form is shown already: only the one the navigation brings counts.
  latency(500, 100);
  ToolRun run(window_, browser());
  const tools::PageMark mark = run.mark();
  ASSERT_TRUE(mark.read);
  QElapsedTimer clock;
  clock.start();
  browser()->navigate(demo_url(kAddForm));
  EXPECT_EQ(run.wait_for(3000, mark, add_form()), Arrival::arrived);
  EXPECT_GE(clock.elapsed(), 400);
  EXPECT_FALSE(run.mark().documents.contains(mark.documents.value(0)));
  // A page that reloads itself a while after the action: the one shown until then is not it.
  latency(0);
  page::PageSnapshot& snap = ctx_->pages().snapshot(page::PageObjects::kTemplates);
  const tools::PageMark before_reload = run.mark();
  snap.attach_page(browser());
  ASSERT_TRUE(snap.run_script("setTimeout(function () { location.reload(); }, 400)"));
  clock.restart();
  EXPECT_EQ(run.wait_for(0, before_reload, Expect::holding(QStringLiteral("发布商品页"), {"ProductName"})),
            Arrival::arrived);
  EXPECT_GE(clock.elapsed(), 400);

  // Post-backs of the list: the pager's chosen page.
  latency(300);
  ASSERT_TRUE(harness::load(browser(), demo_url(kList)));
  Expect page2 = Expect::at(QStringLiteral("商品列表第2页"), QString::fromLatin1(kList));
  page2.select = "AspNetPager1_input";
  page2.selected = 1;
  tools::PageMark before = run.mark();
  snap.attach_page(browser());
  snap.run_script("javascript:__doPostBack('AspNetPager1','2')");
  EXPECT_EQ(run.wait_for(100, before, page2), Arrival::arrived);
  // The page shown is page 2, not page 3.
  Expect page3 = page2;
  page3.selected = 2;
  page3.since = Expect::Since::any;
  EXPECT_EQ(run.wait_for(0, before, page3), Arrival::missing);
  EXPECT_TRUE(run.last_problem().contains(QStringLiteral("AspNetPager1_input 第3项"))) << run.last_problem().toStdString();

  // An answer that may come in a dialog frame: the top document stays, a frame loads.
  const Expect top_answer = Expect::holding(QStringLiteral("应答"), {});
  Expect any_answer = top_answer;
  any_answer.any_document = true;
  before = run.mark();
  snap.attach_page(browser());
  ASSERT_TRUE(snap.run_script("openDialog({title:'x', iframe:{src:'SelfProduct/ProductTemplate.aspx?PID=2'}})"));
  EXPECT_EQ(run.wait_for(100, before, any_answer), Arrival::arrived);
  EXPECT_EQ(run.wait_for(0, before, top_answer), Arrival::missing);
}

TEST_F(Steps, FastModeEndsAWaitOnceThePageIsThereAndPressesItsBoxesAtOnceButKeepsTheUsersWaits) {
  constexpr double kScale = 0.5;  // room for a busy machine between the fast and the paced lengths
  platform::set_wait_scale(kScale);
  page::confirm_web_dialogs(browser(), platform::kWebMessageTitle, platform::kOkCaption, false, 700);
  page::PageSnapshot& snap = ctx_->pages().snapshot(page::PageObjects::kPublishing);
  for (const bool fast : {false, true}) {
    SCOPED_TRACE(fast ? "fast" : "paced");
    tools::RunMode::set_fast(fast);
    ASSERT_TRUE(harness::load(browser(), demo_url(kAddForm)));
    ToolRun run(window_, browser());
    EXPECT_EQ(run.fast(), fast);
    QElapsedTimer clock;
    clock.start();
    tools::PageMark mark = run.mark();
    latency(150);  // the answer comes after the floor
    browser()->navigate(demo_url(kAddForm));
    EXPECT_EQ(run.wait_for(3000, mark, add_form()), Arrival::arrived);
    latency(0);
    if (fast) {
      EXPECT_LT(clock.elapsed(), 3000 * kScale);
    } else {
      EXPECT_GE(clock.elapsed(), 3000 * kScale);
    }
    // Filling the page that came adds no floor of its own: the answer took longer.
    EXPECT_EQ(run.wait_length(2000), fast ? 0 : 2000);
    clock.restart();
    EXPECT_TRUE(run.wait(2000));
    if (fast) {
      EXPECT_LT(clock.elapsed(), 2000 * kScale / 2);
    } else {
      EXPECT_GE(clock.elapsed(), 2000 * kScale);
    }
    clock.restart();
    EXPECT_TRUE(run.hold(2000));  // the user's own wait
    EXPECT_GE(clock.elapsed(), 2000 * kScale);

    // The platform refuses an empty name with a message box: pressed at once in fast mode,
    // by the confirmer (as the journal records it), at its next tick when paced.
    qint64 opened = -1, answered = -1;
    bool by_confirmer = false;
    QObject guard;
    QObject::connect(platform::ScriptBoxes::instance(), &platform::ScriptBoxes::opened, &guard,
                     [&](quint64, QWidget*, platform::ScriptBoxKind, const QString&) { opened = clock.elapsed(); });
    QObject::connect(platform::ScriptBoxes::instance(), &platform::ScriptBoxes::answered, &guard,
                     [&](quint64, const QString&, bool confirmer) {
                       answered = clock.elapsed();
                       by_confirmer = confirmer;
                     });
    clock.restart();
    mark = run.mark();
    snap.attach_page(browser());
    ASSERT_TRUE(snap.click_button("btnSubmit"));
    EXPECT_EQ(run.wait_for(6000, mark, add_form()), Arrival::arrived);
    ASSERT_GE(opened, 0);
    ASSERT_GE(answered, opened);
    EXPECT_TRUE(by_confirmer);
    if (fast) {
      EXPECT_LT(answered - opened, 300);
    }
  }
  page::confirm_web_dialogs(browser(), {}, {}, true);
}

struct Miss {
  const char* name;
  const char* fault;    // armed for the add form; "" none
  const char* address;  // navigated to
  Arrival want;
  const char* found;    // what the journal says was found
};

class StepMisses : public Steps, public ::testing::WithParamInterface<Miss> {};

TEST_P(StepMisses, APageThatDoesNotComeIsRecordedAndTheLoginPageEndsTheRun) {
  const Miss& m = GetParam();
  if (*m.fault) fault(m.fault, kAddForm);
  QStringList statuses;
  ToolRun run(window_, browser());
  {
    tools::journal::Run record(data_dir(), QStringLiteral("测试"), browser(), {}, {"a", "b"});
    run.report_to(&record, [&](const QString& s) { statuses << s; });
    record.begin_item(QStringLiteral("a"));
    const tools::PageMark mark = run.mark();
    browser()->navigate(demo_url(m.address));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(run.wait_for(100, mark, add_form(QStringLiteral("/SelfProduct/SelfProductAdd.aspx?PID=3"))), m.want);
    if (m.want == Arrival::missing) {
      EXPECT_GE(clock.elapsed(), 600);   // the whole (scaled) limit …
      EXPECT_LT(clock.elapsed(), 3000);  // … and no more
    }
    record.end(tools::journal::Ending::finished);
  }
  std::vector<tools::journal::ItemRow> items;
  const auto last = last_run(&items);
  ASSERT_TRUE(last);
  ASSERT_EQ(items.size(), 1u);
  ASSERT_TRUE(items[0].problem);
  const QString problem = QString::fromStdString(*items[0].problem);
  ASSERT_FALSE(statuses.isEmpty());
  EXPECT_EQ(statuses.last(), problem);
  if (m.want == Arrival::login_expired) {
    EXPECT_EQ(last->ending, "login_expired");
    EXPECT_EQ(problem, tools::login_expired_text());
    EXPECT_EQ(take_login_box(), tools::login_expired_text());
    ASSERT_TRUE(harness::log_in(browser(), harness::kDemoRoot));
  } else {
    EXPECT_EQ(last->ending, "finished");
    EXPECT_TRUE(problem.startsWith(QStringLiteral("页面未就绪：应为发布商品页（/SelfProduct/SelfProductAdd.aspx?PID=3")))
        << problem.toStdString();
    EXPECT_TRUE(problem.contains(QString::fromUtf8(m.found))) << problem.toStdString();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, StepMisses,
    ::testing::Values(Miss{"ErrorPage", "error", "/SelfProduct/SelfProductAdd.aspx?PID=3", Arrival::missing,
                           "缺少 ProductName、btnSubmit"},
                      Miss{"NeverFinishes", "hang", "/SelfProduct/SelfProductAdd.aspx?PID=3", Arrival::missing,
                           "正在载入"},
                      Miss{"AnotherItemsPage", "", "/SelfProduct/SelfProductAdd.aspx?PID=2", Arrival::missing,
                           "地址不符"},
                      Miss{"SessionExpired", "expire", "/SelfProduct/SelfProductAdd.aspx?PID=3",
                           Arrival::login_expired, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Steps, AStopOrACloseEndsTheWaitForAPageThatNeverFinishes) {
  platform::set_wait_scale(1.0);  // the whole 30 s limit
  for (const bool close : {false, true}) {
    SCOPED_TRACE(close ? "close" : "stop");
    fault("hang", kAddForm);
    bool stop = false;
    Arrival got = Arrival::arrived;
    QElapsedTimer clock;
    {
      ToolRun run(window_, browser());
      run.stop_when([&] { return stop; });
      const tools::PageMark mark = run.mark();
      browser()->navigate(demo_url(kAddForm));
      QTimer::singleShot(300, window_, [&, close] { close ? (void)window_->close() : (void)(stop = true); });
      clock.start();
      got = run.wait_for(0, mark, add_form());
    }
    EXPECT_EQ(got, close ? Arrival::ended : Arrival::stopped);
    EXPECT_LT(clock.elapsed(), 1300);
    harness::demo().post("/demo/reset", "");
    if (close) break;
  }
}

}  // namespace

#include "step_runner_test.moc"
