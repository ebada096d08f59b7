// The registration window against the demo back office, in process: its own browser on
// the shared login, real key presses into the page, real post-backs; waits shortened.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <set>

#include "app/main_window.h"
#include "app_exits.h"
#include "demo_suite.h"
#include "page/confirmer.h"
#include "platform/dialogs.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "tools/subaccounts/open_registration.h"
#include "tools/subaccounts/registration_window.h"

using tools::subaccounts::RegistrationWindow;

using harness::demo;
using harness::kDemoRoot;

void tessaro_test_before_app(std::vector<std::string>& args) {
  harness::record_exits();
  harness::start_demo(args);
}

void tessaro_test_after_all() { harness::stop_demo(); }

namespace {

const QString kRegistering = QStringLiteral("状态：正在注册中……");
const QString kStopText = QStringLiteral("用户已经执行停止按钮或者注册限制，10分钟后自动继续注册");
const QString kReminder = QStringLiteral("请确保您已经登录了卡盟，如果未登录卡盟，请在主程序登录");

QJsonArray registrations() { return harness::recorded("registrations"); }

// The read-only line beside the trade-password boxes that shows the keys typed into them,
// found by its caption as assistive tools find it (null when missing).
QLineEdit* typed_password_line(RegistrationWindow* w) {
  for (QLineEdit* e : w->findChildren<QLineEdit*>())
    if (e->accessibleName() == QStringLiteral("安全控件交易密码（模拟按键）：")) return e;
  return nullptr;
}

// Positions (1-based) of the name that repeat one character, and where each choice puts
// letters (the rest are digits).
const std::vector<std::vector<int>> kRepeats = {{1, 9, 20}, {2, 14, 24}, {3, 13, 15}, {4, 16}, {5, 17, 18, 19},
                                                {10, 22},   {11, 23}};
const std::set<int> kFirstLetterPositions = {6, 7, 21};
const std::set<int> kSecondLetterPositions = {1, 9, 20, 3, 13, 15, 4, 16, 6, 10, 22, 11, 23};

// True when name has the layout of a generated name (either choice).
bool generated_shape(const QString& name) {
  if (name.size() != 24) return false;
  for (const auto& group : kRepeats)
    for (int p : group)
      if (name[p - 1] != name[group.front() - 1]) return false;
  auto fits = [&name](const std::set<int>& letters) {
    for (int p = 1; p <= 24; ++p) {
      const QChar c = name[p - 1];
      const bool letter = c >= u'A' && c <= u'Z';
      const bool digit = c >= u'0' && c <= u'9';
      if (letters.count(p) ? !letter : !digit) return false;
    }
    return true;
  };
  return fits(kFirstLetterPositions) || fits(kSecondLetterPositions);
}

// Records every key press delivered anywhere in the application: whether its receiver
// was inside a registration window's browser at that moment.
class KeyWatch : public QObject {
 public:
  KeyWatch() { qApp->installEventFilter(this); }
  ~KeyWatch() override { qApp->removeEventFilter(this); }
  int ours = 0;
  QStringList elsewhere;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override {
    if (e->type() == QEvent::KeyPress) {
      // Inside a registration window's browser, or that window itself (keys the page
      // leaves unused go up to their window).
      bool inside = qobject_cast<RegistrationWindow*>(watched) != nullptr;
      for (QObject* p = watched; p && !inside; p = p->parent())
        inside = p->objectName() == QStringLiteral("registrationBrowser");
      if (inside) ++ours;
      else elsewhere << QString::fromLatin1(watched->metaObject()->className()) + " " + watched->objectName();
    }
    return false;
  }
};

class Registration : public harness::DemoSuite<RegistrationWindow> {
 protected:
  Registration() : DemoSuite({.wait_scale = 0.1}) {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(DemoSuite::SetUp());
    // Another window of the application holds the keyboard focus in a text box.
    bystander_ = std::make_unique<QWidget>();
    bystander_->setWindowTitle(QStringLiteral("记事本"));
    bystander_box_ = new QLineEdit(bystander_.get());
    bystander_->show();
    focus_bystander();
    keys_ = std::make_unique<KeyWatch>();
  }

  void TearDown() override {
    DemoSuite::TearDown();
    if (!keys_) return;  // the set-up failed before the watch
    // No key press reached anything but a registration window's browser.
    EXPECT_TRUE(bystander_box_->text().isEmpty()) << bystander_box_->text().toStdString();
    EXPECT_TRUE(keys_->elsewhere.isEmpty()) << keys_->elsewhere.join(", ").toStdString();
    keys_.reset();
    bystander_.reset();
  }

  void focus_bystander() {
    bystander_->activateWindow();
    bystander_box_->setFocus();
    harness::wait_until([this] { return QApplication::focusWidget() == bystander_box_; }, 2000);
  }

  // Opens the window as the main window's button does, answering the login reminder;
  // waits for its list page.
  RegistrationWindow* open_window(QString* reminder = nullptr, QString* reminder_title = nullptr) {
    auto* t = new QTimer;
    t->setInterval(20);
    QObject::connect(t, &QTimer::timeout, [t, reminder, reminder_title] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible() || box->windowTitle() == QStringLiteral("来自网页的消息")) continue;
        if (reminder) *reminder = box->text();
        if (reminder_title) *reminder_title = box->windowTitle();
        t->stop();
        t->deleteLater();
        box->buttons().first()->click();
        return;
      }
    });
    t->start();
    tools::subaccounts::open_registration(*ctx_);
    RegistrationWindow* w =
        harness::top_level<RegistrationWindow>([this](RegistrationWindow* r) { return !r->closing() && r != last_; });
    last_ = w;
    if (w) harness::wait_until([w] { return w->browser()->ready_state() == 4; });
    focus_bystander();
    return w;
  }

  // Presses "3.注册" and waits for batches_ more batch ends.
  static bool run(RegistrationWindow* w, int batches = 1, int timeout_ms = 90000) {
    return harness::click_until(w->controls().start, w, &RegistrationWindow::batch_finished, timeout_ms, batches);
  }

  std::unique_ptr<QWidget> bystander_;
  QLineEdit* bystander_box_ = nullptr;
  std::unique_ptr<KeyWatch> keys_;
  QPointer<RegistrationWindow> last_;
};

TEST_F(Registration, OpeningShowsTheBoxesNotesReminderAndTheListPageInItsOwnBrowser) {
  page::confirm_web_dialogs(ctx_->main_browser(), platform::kWebMessageTitle, platform::kOkCaption, false, 500);
  QString reminder, title;
  RegistrationWindow* w = open_window(&reminder, &title);
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillory-卡盟批量注册"));
  EXPECT_EQ(reminder, kReminder);
  EXPECT_EQ(title, QStringLiteral("信息："));

  const QStringList captions = {"*账户用户名：", "*登录密码：", "*确认登录密码：", "*交易密码：", "*确认交易密码：",
                                "*联系人姓名：", "*身份证号：", "*公司或单位：", "*手机号码：", "*联系QQ：",
                                "联系电话：",   "电子信箱：", "联系地址："};
  for (int i = 0; i < 13; ++i) {
    QLineEdit* box = c.fields[static_cast<size_t>(i)];
    EXPECT_EQ(box->accessibleName(), captions[i]);
    bool has_buddy = false;
    for (QLabel* l : w->findChildren<QLabel*>())
      if (l->buddy() == box && l->text() == captions[i]) has_buddy = true;
    EXPECT_TRUE(has_buddy) << captions[i].toStdString();
  }
  // Tab order of the window follows the table.
  for (int i = 0; i + 1 < 13; ++i) {
    QWidget* next = c.fields[static_cast<size_t>(i)]->nextInFocusChain();
    while (next && !(next->focusPolicy() & Qt::TabFocus)) next = next->nextInFocusChain();
    EXPECT_EQ(next, c.fields[static_cast<size_t>(i) + 1]) << i;
  }

  EXPECT_TRUE(generated_shape(c.fields[0]->text())) << c.fields[0]->text().toStdString();
  const QString password = c.fields[1]->text();
  EXPECT_EQ(password.size(), 9);
  EXPECT_TRUE(password.toULongLong() > 0);
  for (int i = 2; i <= 4; ++i) EXPECT_EQ(c.fields[static_cast<size_t>(i)]->text(), password);
  EXPECT_FALSE(c.fields[5]->text().isEmpty());
  EXPECT_EQ(c.fields[6]->text().size(), 18);
  EXPECT_FALSE(c.fields[7]->text().isEmpty());
  EXPECT_EQ(c.fields[8]->text(), "12345678901");
  EXPECT_EQ(c.fields[9]->text().size(), 9);
  EXPECT_EQ(c.fields[10]->text(), "021-12345678");
  EXPECT_TRUE(c.fields[11]->text().contains('@'));
  EXPECT_FALSE(c.fields[12]->text().isEmpty());
  // The key sequence typed into the two trade-password boxes, shown read-only beside them
  // with its caption as a label.
  QLineEdit* typed = typed_password_line(w);
  ASSERT_NE(typed, nullptr);
  EXPECT_TRUE(typed->isReadOnly());
  EXPECT_TRUE(typed->isVisible());
  EXPECT_EQ(typed->text(), QString::fromLatin1(tools::subaccounts::kTypedPassword));
  bool typed_has_label = false;
  for (QLabel* l : w->findChildren<QLabel*>())
    if (l->buddy() == typed && l->text() == QStringLiteral("安全控件交易密码（模拟按键）：")) typed_has_label = true;
  EXPECT_TRUE(typed_has_label);

  EXPECT_EQ(c.start->text(), QStringLiteral("3.注册"));
  EXPECT_EQ(c.stop->text(), QStringLiteral("4.停止"));
  EXPECT_EQ(c.download->text(), QStringLiteral("安全控件下载"));
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());
  EXPECT_EQ(c.status->text(), QStringLiteral("状态：等待执行中！"));
  EXPECT_EQ(c.notes[0]->accessibleName(),
            QStringLiteral("注意：1、由于Quillory公司限制注册10个限制10分钟，软件将在注册10个之后停止注册，10分钟后自动再次注册！"
                           "\r\n\r\n      2、如果网页中的“交易密码”和“确认交易密码”框无法填写，请自行下载Quillory官方安全控件，"
                           "安装控件时请关闭本软件！！"));
  EXPECT_EQ(c.notes[1]->text(), QStringLiteral("3、此功能为模拟按键，请务必不要操作其他程序！"));
  EXPECT_EQ(c.notes[2]->text(), kReminder);

  // Its own browser, on the list page, with its own confirmer; the main browser's is
  // left alone.
  EXPECT_NE(w->browser(), ctx_->main_browser());
  EXPECT_EQ(w->browser()->url().path(), QStringLiteral("/SubCustomerList.aspx"));
  EXPECT_TRUE(harness::page_script(w->browser(), "!!document.getElementById('lnkAdd')").toBool());
  EXPECT_EQ(page::confirm_period(w->browser()), 700);
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 500);
  EXPECT_TRUE(w->running_flag());
  EXPECT_EQ(w->counter(), 0);
  EXPECT_TRUE(QDir(dir_.path() + "/data").exists());
  ASSERT_TRUE(w->batch_timer()->isActive());
  EXPECT_EQ(w->batch_timer()->interval(), 60000);  // 600 000 ms at the test's wait scale

  // A second window generates another name; closing a window ends its timer and its
  // browser with its confirmer, not the main browser's.
  RegistrationWindow* second = open_window();
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second->controls().fields[0]->text(), c.fields[0]->text());
  QPointer<QTimer> timer = w->batch_timer();
  QPointer<platform::BrowserView> browser = w->browser();
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(timer.isNull());
  EXPECT_TRUE(browser.isNull());
  EXPECT_EQ(page::confirm_period(second->browser()), 700);
  EXPECT_EQ(page::confirm_period(ctx_->main_browser()), 500);
  page::confirm_web_dialogs(ctx_->main_browser(), QString(), QString(), true);
}


// Takes the addresses that would open in the system's web browser.
class UrlCatcher : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls << url; }
};

TEST_F(Registration, SecurityControlDownloadOpensItsAddressInTheWebBrowser) {
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  UrlCatcher catcher;
  QDesktopServices::setUrlHandler("http", &catcher, "open");
  QTest::mouseClick(w->controls().download, Qt::LeftButton);
  QDesktopServices::unsetUrlHandler("http");
  ASSERT_EQ(catcher.urls.size(), 1);
  EXPECT_EQ(catcher.urls[0].toString(), QString::fromUtf8(tools::subaccounts::kSecurityControlUrl));
  EXPECT_EQ(w->controls().status->text(), QStringLiteral("状态：等待执行中！"));  // nothing else happened
  EXPECT_EQ(registrations().size(), 0);
}

// Collects the status texts and the submitted names of a window.
struct Trace {
  explicit Trace(RegistrationWindow* w) {
    QObject::connect(w, &RegistrationWindow::status_text_changed, [this](const QString& t) { texts << t; });
    QObject::connect(w, &RegistrationWindow::submitted, [this](const QString& n) { names << n; });
  }
  QStringList texts;
  QStringList names;
};

QStringList repeated(const QString& text, int n) {
  QStringList out;
  for (int i = 0; i < n; ++i) out << text;
  return out;
}

// The platform as the batch meets it: how fast it answers, and how "新建下级" opens the
// form (on the list page itself, or by a post-back that brings a new page).
struct Platform {
  const char* name;
  int latency_ms;
  int jitter_ms;
  bool postback;
  bool both_modes = false;  // the batch paced, then in fast mode: the same records but the
                            // generated names
};

class RegistrationOn : public Registration, public ::testing::WithParamInterface<Platform> {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(Registration::SetUp());
    set_latency(GetParam().latency_ms, GetParam().jitter_ms);
    if (GetParam().postback) demo().post("/demo/subaccounts", "form=postback");
  }
};

TEST_P(RegistrationOn, ABatchFromZeroSubmitsElevenDistinctNamesTypingTheTradePasswordAndTheDemoRefusesTheEleventh) {
  paced_and_fast(GetParam().both_modes, 0.1, [&] {
    set_latency(GetParam().latency_ms, GetParam().jitter_ms);
    if (GetParam().postback) demo().post("/demo/subaccounts", "form=postback");
    const int keys_before = keys_->ours;
    RegistrationWindow* w = open_window();
    ASSERT_NE(w, nullptr);
    Trace trace(w);
    ASSERT_TRUE(run(w));
    EXPECT_EQ(harness::demo_state()["subaccount_form"].toString(), GetParam().postback ? "postback" : "inline");

    EXPECT_EQ(trace.texts, repeated(kRegistering, 11) << kStopText) << trace.texts.join(" | ").toStdString();
    ASSERT_EQ(trace.names.size(), 11);
    EXPECT_EQ(QSet<QString>(trace.names.begin(), trace.names.end()).size(), 11);
    for (const QString& n : trace.names) EXPECT_TRUE(generated_shape(n)) << n.toStdString();
    EXPECT_EQ(w->controls().fields[0]->text(), trace.names.last());
    EXPECT_EQ(w->counter(), 10);
    EXPECT_TRUE(w->controls().start->isEnabled());
    EXPECT_FALSE(w->controls().stop->isEnabled());
    EXPECT_EQ(w->controls().status->text(), kStopText);

    const QJsonArray regs = registrations();
    ASSERT_EQ(regs.size(), 11);
    for (int i = 0; i < 11; ++i) {
      const QJsonObject r = regs[i].toObject();
      EXPECT_EQ(r["CustomerName"].toString(), trace.names[i]);
      // Typed by key presses into the security-control fields, as the window shows them;
      // the boxes fill the rest.
      ASSERT_NE(typed_password_line(w), nullptr);
      EXPECT_EQ(r["TradePassword"].toString(), typed_password_line(w)->text()) << i;
      EXPECT_EQ(r["CheckTradePassword"].toString(), "36915wmks") << i;
      EXPECT_EQ(r["Password"].toString(), w->controls().fields[1]->text());
      EXPECT_EQ(r["Mobile"].toString(), "12345678901");
      EXPECT_EQ(r["Address"].toString(), w->controls().fields[12]->text());
      EXPECT_EQ(r["accepted"].toBool(), i < 10) << i;
    }
    EXPECT_TRUE(regs[10].toObject()["answer"].toString().contains(QStringLiteral("每10分钟最多只能注册10个")));
    // Seven Tab presses, nine keys, one Tab, nine keys per registration, all into this
    // window's browser.
    EXPECT_EQ(keys_->ours - keys_before, 11 * 26);

    // The journal: one item per registration keyed by its name, with the platform's answer.
    auto runs = journal_runs();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].tool, "[hot]批量注册");
    EXPECT_EQ(runs[0].ending, "finished");
    EXPECT_NE(runs[0].settings_json.find("\"started_by\":\"3.注册\""), std::string::npos) << runs[0].settings_json;
    EXPECT_EQ(runs[0].settings_json.find("258147369"), std::string::npos);  // no password in the file
    auto items = journal_items(runs[0]);
    ASSERT_EQ(items.size(), 11u);
    for (int i = 0; i < 11; ++i) {
      EXPECT_EQ(QString::fromStdString(items[static_cast<size_t>(i)].key), trace.names[i]);
      EXPECT_EQ(items[static_cast<size_t>(i)].answer.value_or(""),
                regs[i].toObject()["answer"].toString().toStdString()) << i;
      EXPECT_FALSE(items[static_cast<size_t>(i)].problem) << *items[static_cast<size_t>(i)].problem;
    }

    // "3.注册" keeps the counter: one more registration, then the stop text again.
    Trace again(w);
    ASSERT_TRUE(run(w));
    EXPECT_EQ(again.texts, QStringList({kRegistering, kStopText}));
    EXPECT_EQ(registrations().size(), 12);
    runs = journal_runs();
    ASSERT_EQ(runs.size(), 2u);
    items = journal_items(runs[0]);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(QString::fromStdString(items[0].key), again.names.value(0));
    EXPECT_NE(items[0].answer.value_or("").find("每10分钟最多只能注册10个下级"), std::string::npos);
  }, {"CustomerName"});
}

// Slow: every page answers 500 ± 150 ms late, later than the steps' waits at the suite's
// scale (the 1500 ms after the submission lasts 150 ms).
INSTANTIATE_TEST_SUITE_P(Platforms, RegistrationOn,
                         ::testing::Values(Platform{"FastFormInPlaceBothModes", 0, 0, false, true},
                                           Platform{"SlowFormByPostBack", 500, 150, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Registration, StopDuringARegistrationStillSubmitsItAndAPressDuringItsEndFollowsIt) {
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  Trace trace(w);
  // "4.停止" at once in the first registration.
  QMetaObject::Connection stop_once =
      QObject::connect(w, &RegistrationWindow::status_text_changed, w, [&](const QString& t) {
        if (t != kRegistering) return;
        QObject::disconnect(stop_once);
        QTimer::singleShot(0, c.stop, [&] { QTest::mouseClick(c.stop, Qt::LeftButton); });
      });
  ASSERT_TRUE(run(w));
  EXPECT_EQ(trace.texts, QStringList({kRegistering, kStopText}));
  EXPECT_EQ(trace.names.size(), 1);
  EXPECT_EQ(registrations().size(), 1);
  EXPECT_FALSE(w->running_flag());
  auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, "stopped");
  ASSERT_EQ(journal_items(runs[0]).size(), 1u);
  EXPECT_EQ(journal_items(runs[0])[0].answer.value_or(""), "注册成功！");
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());

  // Stop, then "3.注册" again while the stopped registration is still under way: its
  // batch starts after the stop text, never inside the registration; that one is
  // stopped in its first registration too.
  trace.texts.clear();
  trace.names.clear();
  int starts = 0;
  QObject::connect(w, &RegistrationWindow::status_text_changed, w, [&](const QString& t) {
    if (t != kRegistering) return;
    ++starts;
    QTimer::singleShot(0, c.stop, [&, n = starts] {
      QTest::mouseClick(c.stop, Qt::LeftButton);
      if (n == 1) {
        EXPECT_TRUE(c.start->isEnabled());
        QTest::mouseClick(c.start, Qt::LeftButton);
      }
    });
  });
  ASSERT_TRUE(run(w, 2));
  EXPECT_EQ(trace.texts, QStringList({kRegistering, kStopText, kRegistering, kStopText}));
  EXPECT_EQ(trace.names.size(), 2);
  EXPECT_EQ(registrations().size(), 3);
  EXPECT_FALSE(w->in_batch());
}

// The platform takes 10 registrations per 10 minutes: a tick that came during a batch
// starts its batch 10 minutes after that batch's first submission, and says when.
TEST_F(Registration, ATickDuringABatchStartsItsBatchTenMinutesAfterTheFirstSubmissionWithTheCounterReset) {
  // 600 000 ms -> 3 s; the steps at the suite's scale. The test gives the ticks itself.
  platform::set_wait_scale(0.005);
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  platform::set_wait_scale(0.1);
  w->batch_timer()->stop();
  ASSERT_EQ(w->batch_timer()->interval(), 3000);
  const auto& c = w->controls();
  Trace trace(w);
  QElapsedTimer clock;
  clock.start();
  qint64 first_submission = -1, timer_batch = -1;
  QTime timer_batch_time;
  bool idle_while_deferred = false;
  QObject::connect(w, &RegistrationWindow::submitted, w, [&] {
    if (first_submission < 0) first_submission = clock.elapsed();
  });
  int starts = 0;
  QObject::connect(w, &RegistrationWindow::status_text_changed, w, [&](const QString& t) {
    if (t.contains(QStringLiteral("下一批"))) {
      // The next periodic tick while the batch waits starts nothing either.
      QTimer::singleShot(0, w, [&] {
        w->batch_timer_fired();
        idle_while_deferred = !w->in_batch() && c.start->isEnabled();
      });
      return;
    }
    if (t != kRegistering) return;
    ++starts;
    if (starts == 2) {
      // The timer's tick inside the second registration (counter 1), then stop.
      QTimer::singleShot(0, w, [&] {
        EXPECT_EQ(w->counter(), 1);
        w->batch_timer_fired();
        EXPECT_EQ(w->counter(), 1);  // nothing started, nothing reset yet
        QTest::mouseClick(c.stop, Qt::LeftButton);
      });
    } else if (starts == 3) {
      timer_batch = clock.elapsed();
      timer_batch_time = QTime::currentTime();
      EXPECT_EQ(w->counter(), 0);  // the timer's batch reset it
      QTimer::singleShot(0, c.stop, [&] { QTest::mouseClick(c.stop, Qt::LeftButton); });
    }
  });
  ASSERT_TRUE(run(w, 2, 30000));
  ASSERT_EQ(trace.texts.size(), 6) << trace.texts.join(" | ").toStdString();
  EXPECT_EQ(trace.texts.mid(0, 3), QStringList({kRegistering, kRegistering, kStopText}));
  EXPECT_EQ(trace.texts.mid(4), QStringList({kRegistering, kStopText}));
  // The status says when the next batch starts.
  const QString deferred = trace.texts[3];
  EXPECT_TRUE(deferred.startsWith(kStopText)) << deferred.toStdString();
  const int at = deferred.indexOf(QStringLiteral("下一批将于"));
  ASSERT_GE(at, 0) << deferred.toStdString();
  const QTime announced = QTime::fromString(deferred.mid(at + 5, 8), QStringLiteral("HH:mm:ss"));
  ASSERT_TRUE(announced.isValid()) << deferred.toStdString();
  EXPECT_LE(std::abs(announced.secsTo(timer_batch_time)), 1);
  EXPECT_TRUE(idle_while_deferred);
  EXPECT_GE(timer_batch - first_submission, 3000);
  EXPECT_LT(timer_batch - first_submission, 4500);
  EXPECT_EQ(registrations().size(), 3);
  EXPECT_EQ(w->counter(), 0);
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_NE(runs[0].settings_json.find("\"started_by\":\"timer\""), std::string::npos);
  EXPECT_EQ(journal_items(runs[0]).size(), 1u);
  EXPECT_EQ(journal_items(runs[1]).size(), 2u);
}

TEST_F(Registration, TheTimerFiresFromTheOpeningWithoutAnyPress) {
  // The timer's interval follows the wait scale at the opening: 600 000 ms -> 3 s.
  platform::set_wait_scale(0.005);
  QElapsedTimer since_open;
  since_open.start();
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  platform::set_wait_scale(0.1);
  ASSERT_EQ(w->batch_timer()->interval(), 3000);
  Trace trace(w);
  qint64 started = -1;
  QObject::connect(w, &RegistrationWindow::status_text_changed, w, [&](const QString& t) {
    if (t != kRegistering || started >= 0) return;
    started = since_open.elapsed();
    EXPECT_EQ(w->counter(), 0);
    QTimer::singleShot(0, w->controls().stop, [w] { QTest::mouseClick(w->controls().stop, Qt::LeftButton); });
  });
  QSignalSpy finished(w, &RegistrationWindow::batch_finished);
  ASSERT_TRUE(harness::wait_until([&] { return finished.count() > 0; }, 30000));
  EXPECT_GE(started, 3000);
  EXPECT_EQ(trace.texts, QStringList({kRegistering, kStopText}));
  EXPECT_EQ(registrations().size(), 1);
  EXPECT_TRUE(w->batch_timer()->isActive());
}

TEST_F(Registration, TheTimersBatchResetsTheCounter) {
  // 600 000 ms -> 6 s.
  platform::set_wait_scale(0.01);
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  platform::set_wait_scale(0.1);
  ASSERT_EQ(w->batch_timer()->interval(), 6000);
  const auto& c = w->controls();
  Trace trace(w);
  // A batch from the button, stopped in its third registration: counter 2. Then the
  // timer's batch, which starts from 0 (stopped in its first registration).
  int starts = 0;
  int timer_counter = -1;
  QObject::connect(w, &RegistrationWindow::status_text_changed, w, [&](const QString& t) {
    if (t != kRegistering) return;
    ++starts;
    if (starts == 4) timer_counter = w->counter();
    if (starts == 3 || starts == 4)
      QTimer::singleShot(0, c.stop, [&] { QTest::mouseClick(c.stop, Qt::LeftButton); });
  });
  ASSERT_TRUE(run(w));
  EXPECT_EQ(w->counter(), 2);
  QSignalSpy finished(w, &RegistrationWindow::batch_finished);
  ASSERT_TRUE(harness::wait_until([&] { return finished.count() > 0; }, 30000));
  EXPECT_EQ(timer_counter, 0);
  EXPECT_EQ(trace.texts, repeated(kRegistering, 3) << kStopText << kRegistering << kStopText);
  EXPECT_EQ(registrations().size(), 4);
  EXPECT_TRUE(w->batch_timer()->isActive());
  EXPECT_EQ(w->batch_timer()->interval(), 6000);
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_NE(runs[0].settings_json.find("\"started_by\":\"timer\""), std::string::npos);
}

// What goes wrong with the platform's pages during a batch.
struct Miss {
  const char* name;
  bool postback;        // "新建下级" posts back for the form
  const char* trouble;  // "logout" before the opening, else a fault of the list page armed after it
  bool stop;            // "4.停止" pressed while the step waits for its page
  int keys;             // key presses that reached the page
  const char* ending;   // of the batch in the journal
  std::vector<const char*> problems;  // each registration's problem, by its beginning
};

class RegistrationMisses : public Registration, public ::testing::WithParamInterface<Miss> {};

// A registration whose form did not come is not done and no key is pressed; a page without
// the link ends the batch; the login page ends it as expired. The window is idle after.
TEST_P(RegistrationMisses, NoKeyIsPressedOnAPageThatIsNotTheFormAndTheJournalSaysWhy) {
  const Miss& m = GetParam();
  if (m.postback) demo().post("/demo/subaccounts", "form=postback");
  const bool logout = std::string(m.trouble) == "logout";
  if (logout) ASSERT_TRUE(harness::load(ctx_->main_browser(), QString(kDemoRoot) + "/Logout.aspx"));
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->browser()->url().path(), logout ? QStringLiteral("/Login.aspx") : QStringLiteral("/SubCustomerList.aspx"));
  if (!logout)
    demo().post("/demo/fault", std::string("kind=") + m.trouble + "&path=/SubCustomerList.aspx");
  const auto& c = w->controls();
  Trace trace(w);
  QElapsedTimer clock;
  qint64 stopped_at = -1;
  if (m.stop)
    QObject::connect(w, &RegistrationWindow::status_text_changed, w, [&](const QString& t) {
      // Well into the bounded wait for the form (its limit lasts 3 s here).
      if (t == kRegistering)
        QTimer::singleShot(1000, c.stop, [&] {
          stopped_at = clock.elapsed();
          QTest::mouseClick(c.stop, Qt::LeftButton);
        });
    });
  QSignalSpy finished(w, &RegistrationWindow::batch_finished);
  clock.start();
  ASSERT_TRUE(run(w, 1, 30000));
  if (m.stop) {
    ASSERT_GE(stopped_at, 0);
    EXPECT_LT(clock.elapsed() - stopped_at, 1000);
  }
  EXPECT_TRUE(registrations().isEmpty());
  EXPECT_EQ(keys_->ours, m.keys);
  EXPECT_TRUE(c.start->isEnabled());
  EXPECT_FALSE(c.stop->isEnabled());
  EXPECT_FALSE(w->in_batch());

  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, m.ending);
  const auto items = journal_items(runs[0]);
  ASSERT_EQ(items.size(), m.problems.size()) << trace.texts.join(" | ").toStdString();
  for (size_t i = 0; i < items.size(); ++i) {
    EXPECT_TRUE(generated_shape(QString::fromStdString(items[i].key))) << items[i].key;
    ASSERT_TRUE(items[i].problem) << i;
    EXPECT_EQ(items[i].problem->rfind(m.problems[i], 0), 0u) << *items[i].problem;
  }
  // The status line says what the journal says; the login page also with a message box.
  const QString last = QString::fromStdString(*items.back().problem);
  const bool expired = std::string(m.ending) == "login_expired";
  const bool blind = std::string(m.ending) == "page_not_ready";
  EXPECT_EQ(c.status->text(), m.stop ? kStopText : blind ? last + QStringLiteral("，本批注册已停止") : last);
  if (expired) {
    EXPECT_EQ(last, tools::login_expired_text());
    QMessageBox* box = nullptr;
    ASSERT_TRUE(harness::wait_until([&] {
      box = harness::top_level<QMessageBox>([](QMessageBox* b) { return b->isVisible(); });
      if (!box)
        for (QMessageBox* b : w->findChildren<QMessageBox*>())
          if (b->isVisible()) box = b;
      return box != nullptr;
    }, 3000));
    EXPECT_EQ(box->text(), tools::login_expired_text());
    box->close();
    logged_in_ = harness::log_in(ctx_->main_browser(), kDemoRoot);
    ASSERT_TRUE(logged_in_);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, RegistrationMisses,
    ::testing::Values(
        // The post-back answers with the server's error page: no form; the next
        // registration finds no link on it.
        Miss{"FormIsAnErrorPage", true, "error", false, 0, "page_not_ready",
             {"页面未就绪：应为新建下级页面（CustomerName），实为", "页面上没有链接“新建下级”"}},
        Miss{"FormNeverFinishesAndStopEndsTheWait", true, "hang", true, 0, "stopped", {"已停止"}},
        // The session ends with the submission: the keys went into the form, nothing was
        // registered, and the platform's answer is its login page.
        Miss{"SessionExpiresAtTheSubmission", false, "expire", false, 26, "login_expired", {"登录已失效"}},
        Miss{"LoggedOutBeforeTheOpening", false, "logout", false, 0, "login_expired", {"登录已失效"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Registration, CharactersOutsideGbkInEveryBoxReachThePageUnchanged) {
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  const auto& c = w->controls();
  const QString odd = QStringLiteral("\U0001F600\u20AC\u00E9\U00020000\u0E01");
  for (size_t i = 0; i < c.fields.size(); ++i) c.fields[i]->setText(odd + QString::number(i));
  for (int i = 2; i <= 4; ++i) c.fields[static_cast<size_t>(i)]->setText(c.fields[1]->text());
  QObject::connect(w, &RegistrationWindow::status_text_changed, w, [&](const QString& t) {
    if (t == kRegistering) QTimer::singleShot(0, c.stop, [&] { QTest::mouseClick(c.stop, Qt::LeftButton); });
  });
  ASSERT_TRUE(run(w));
  const QJsonArray regs = registrations();
  ASSERT_EQ(regs.size(), 1);
  const QJsonObject r = regs[0].toObject();
  EXPECT_TRUE(generated_shape(r["CustomerName"].toString()));
  EXPECT_EQ(r["Password"].toString(), odd + "1");
  EXPECT_EQ(r["CheckPassword"].toString(), odd + "1");
  EXPECT_EQ(r["ContactName"].toString(), odd + "5");
  EXPECT_EQ(r["Address"].toString(), odd + "12");
  EXPECT_EQ(r["TradePassword"].toString(), "36915wmks");
  EXPECT_TRUE(r["accepted"].toBool());
}

TEST_F(Registration, ClosingTheWindowDuringABatchEndsItAtItsNextStep) {
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  QPointer<RegistrationWindow> guard(w);
  QPointer<platform::BrowserView> browser = w->browser();
  QObject::connect(w, &RegistrationWindow::submitted, w, [w] { QTimer::singleShot(0, w, &QWidget::close); });
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return guard.isNull();
  }, 30000));
  EXPECT_TRUE(browser.isNull());
  harness::wait_until([] { return false; }, 500);
  EXPECT_EQ(registrations().size(), 1);
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, "window_closed");
}

TEST_F(Registration, TheApplicationEndingDuringABatchStopsItsStepsTimerAndConfirmer) {
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  // What the main window does when it closes, before the process ends.
  QObject::connect(w, &RegistrationWindow::submitted, w, [] {
    tools::ToolWindow::shut_down_all();
    tools::journal::end_open_runs();
  });
  QSignalSpy finished(w, &RegistrationWindow::batch_finished);
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return !w->in_batch() && registrations().size() >= 1; }, 30000));
  harness::wait_until([] { return false; }, 500);
  EXPECT_EQ(registrations().size(), 1);
  EXPECT_FALSE(w->batch_timer()->isActive());
  EXPECT_EQ(finished.count(), 0);
  // Nothing starts any more.
  w->batch_timer_fired();
  w->start_registration();
  EXPECT_FALSE(w->in_batch());
  EXPECT_EQ(registrations().size(), 1);
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, "application_ended");
  // The confirmer ends with the window's browser.
  EXPECT_EQ(page::confirm_period(w->browser()), 700);
  QPointer<platform::BrowserView> browser = w->browser();
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(browser.isNull());
}

TEST_F(Registration, TheMainWindowsButtonOpensItAndClosingTheMainWindowEndsTheBatch) {
  harness::exit_codes().clear();
  auto main = std::make_unique<app::MainWindow>(exe_dir());
  main->show();
  ASSERT_TRUE(main->start_up());
  main->set_address_text(kDemoRoot);
  QPushButton* button = nullptr;
  for (QPushButton* b : main->findChildren<QPushButton*>())
    if (b->text() == QStringLiteral("[hot]批量注册")) button = b;
  ASSERT_NE(button, nullptr);
  ASSERT_TRUE(button->isEnabled());
  // The button runs the opening, login reminder included.
  QString reminder;
  auto* t = new QTimer;
  t->setInterval(20);
  QObject::connect(t, &QTimer::timeout, [t, &reminder] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->isVisible() || box->windowTitle() != QStringLiteral("信息：")) continue;
      reminder = box->text();
      t->stop();
      t->deleteLater();
      box->buttons().first()->click();
      return;
    }
  });
  t->start();
  button->click();
  EXPECT_EQ(reminder, kReminder);
  RegistrationWindow* w = harness::top_level<RegistrationWindow>();
  ASSERT_NE(w, nullptr);
  ASSERT_TRUE(harness::wait_until([w] { return w->browser()->ready_state() == 4; }));
  // Logged in through the shared profile: the list page itself.
  EXPECT_EQ(w->browser()->url().path(), QStringLiteral("/SubCustomerList.aspx"));

  QObject::connect(w, &RegistrationWindow::submitted, main.get(), [&main] { main->close(); });
  QTimer::singleShot(0, w->controls().start, &QPushButton::click);
  ASSERT_TRUE(harness::wait_until([&] { return !harness::exit_codes().empty() && !w->in_batch(); }, 30000));
  EXPECT_EQ(harness::exit_codes(), std::vector<int>{0});
  harness::wait_until([] { return false; }, 500);
  EXPECT_EQ(registrations().size(), 1);
  EXPECT_FALSE(w->batch_timer()->isActive());
  const auto runs = journal_runs();
  ASSERT_EQ(runs.size(), 1u);
  EXPECT_EQ(runs[0].ending, "application_ended");
  w->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  main.reset();
}

// Writes the guide's screenshot when TESSARO_SCREENSHOT_DIR is set.
TEST_F(Registration, Screenshot) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  RegistrationWindow* w = open_window();
  ASSERT_NE(w, nullptr);
  w->resize(1280, 760);
  // The filled form, trade passwords typed, at the moment it is submitted.
  QImage shot;
  QObject::connect(w, &RegistrationWindow::submitted, w, [w, &shot] {
    shot = w->grab().toImage();
    w->controls().stop->click();
  });
  ASSERT_TRUE(run(w));
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(shot.save(QString::fromUtf8(out) + "/subaccounts.png"));
}

}  // namespace

#include "registration_e2e_test.moc"
