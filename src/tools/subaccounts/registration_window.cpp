#include "tools/subaccounts/registration_window.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTime>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>
#include <optional>

#include "page/confirmer.h"
#include "page/live_page.h"
#include "page/page_objects.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "platform/waits.h"
#include "tools/common/journal.h"
#include "tools/common/tool_context.h"
#include "tools/subaccounts/user_name.h"

namespace tools::subaccounts {

const std::array<FieldSpec, kFieldCount> kFields = {{
    {"*账户用户名：", "CustomerName", ""},
    {"*登录密码：", "Password", "258147369"},
    {"*确认登录密码：", "CheckPassword", "258147369"},
    {"*交易密码：", "TradePassword", "258147369"},
    {"*确认交易密码：", "CheckTradePassword", "258147369"},
    {"*联系人姓名：", "ContactName", "王晓明"},
    {"*身份证号：", "IdentityCard", "110105199003071239"},
    {"*公司或单位：", "ComanyName", "晓明网络科技有限公司"},
    {"*手机号码：", "Mobile", "12345678901"},
    {"*联系QQ：", "QQ", "526813947"},
    {"联系电话：", "Phone", "021-12345678"},
    {"电子信箱：", "Email", "xiaoming@example.com"},
    {"联系地址：", "Address", "上海市浦东新区世纪大道100号"},
}};

namespace {

constexpr int kConfirmPeriodMs = 700;
constexpr int kBeforeLinkMs = 300;
constexpr int kFocusTimes = 5;
constexpr int kTabPresses = 7;
constexpr int kBetweenTabsMs = 200;
constexpr int kAfterTabsMs = 600;
constexpr int kAroundTabMs = 800;
constexpr int kBeforeSubmitMs = 1000;
constexpr int kAfterSubmitMs = 1500;

const QString kWaiting = QStringLiteral("状态：等待执行中！");
const QString kRegistering = QStringLiteral("状态：正在注册中……");
const QString kStopped = QStringLiteral("用户已经执行停止按钮或者注册限制，10分钟后自动继续注册");
const QString kLoginReminder = QStringLiteral("请确保您已经登录了卡盟，如果未登录卡盟，请在主程序登录");
const QString kNote12 = QStringLiteral(
    "注意：1、由于Quillory公司限制注册10个限制10分钟，软件将在注册10个之后停止注册，10分钟后自动再次注册！\r\n\r\n"
    "      2、如果网页中的“交易密码”和“确认交易密码”框无法填写，请自行下载Quillory官方安全控件，安装控件时请关闭本软件！！");
const QString kNote3 = QStringLiteral("3、此功能为模拟按键，请务必不要操作其他程序！");

// The batch interval follows the wait scale of the step sequences (tests shorten both).
int batch_interval() {
  const double ms = std::ceil(kBatchIntervalMs * platform::wait_scale());
  return ms < 1 ? 1 : ms > 2147483647.0 ? 2147483647 : static_cast<int>(ms);
}

// A note as the window shows it: the text's CR LF line ends drawn as line breaks; the
// exact text is what assistive tools read.
QLabel* note(const QString& text, QWidget* parent) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  auto* label = new QLabel(shown, parent);
  label->setWordWrap(true);
  label->setTextFormat(Qt::PlainText);
  label->setAccessibleName(text);
  return label;
}

}  // namespace

RegistrationWindow::RegistrationWindow(ToolContext& ctx) : ToolWindow(ctx), ctx_(ctx) {
  build();
  timer_ = new QTimer(this);
  timer_->setTimerType(Qt::PreciseTimer);  // a coarse timer may fire 30 s early
  connect(timer_, &QTimer::timeout, this, &RegistrationWindow::batch_timer_fired);
  deferred_ = new QTimer(this);
  deferred_->setSingleShot(true);
  deferred_->setTimerType(Qt::PreciseTimer);
  connect(deferred_, &QTimer::timeout, this, &RegistrationWindow::batch_timer_fired);
  clock_.start();
}

RegistrationWindow::~RegistrationWindow() { shut_down(); }

void RegistrationWindow::build() {
  auto* outer = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  outer->addLayout(left);

  auto* grid = new QGridLayout;
  for (int i = 0; i < kFieldCount; ++i) {
    const QString caption = QString::fromUtf8(kFields[static_cast<size_t>(i)].caption);
    auto* label = new QLabel(caption, this);
    auto* box = new QLineEdit(this);
    box->setAccessibleName(caption);
    label->setBuddy(box);
    box->setText(QString::fromUtf8(kFields[static_cast<size_t>(i)].initial));
    box->setMinimumWidth(220);
    grid->addWidget(label, i, 0, Qt::AlignRight);
    grid->addWidget(box, i, 1);
    c_.fields[static_cast<size_t>(i)] = box;
  }
  // Beside the two trade-password boxes: the keys typed into them, which become the trade
  // password of every account created. Made after the boxes, so that Tab runs through the
  // boxes first.
  {
    const QString caption = QStringLiteral("安全控件交易密码（模拟按键）：");
    auto* label = new QLabel(caption, this);
    c_.typed_password = new QLineEdit(QString::fromLatin1(kTypedPassword), this);
    c_.typed_password->setReadOnly(true);
    c_.typed_password->setAccessibleName(caption);
    c_.typed_password->setMaximumWidth(label->sizeHint().width());
    label->setBuddy(c_.typed_password);
    grid->addWidget(label, 3, 2);
    grid->addWidget(c_.typed_password, 4, 2);
  }
  left->addLayout(grid);

  auto* buttons = new QHBoxLayout;
  c_.start = new QPushButton(QStringLiteral("3.注册"), this);
  c_.stop = new QPushButton(QStringLiteral("4.停止"), this);
  c_.download = new QPushButton(QStringLiteral("安全控件下载"), this);
  c_.stop->setEnabled(false);
  for (QPushButton* b : {c_.start, c_.stop, c_.download}) {
    b->setMinimumHeight(32);
    buttons->addWidget(b);
  }
  left->addLayout(buttons);

  c_.status = new QLabel(kWaiting, this);
  c_.status->setWordWrap(true);  // the stop text may say when the next batch starts
  left->addWidget(c_.status);
  c_.notes[0] = note(kNote12, this);
  c_.notes[1] = note(kNote3, this);
  c_.notes[2] = note(kLoginReminder, this);
  for (QLabel* n : c_.notes) {
    n->setMaximumWidth(380);
    left->addWidget(n);
  }
  QPalette warn = c_.notes[1]->palette();
  warn.setColor(QPalette::WindowText, Qt::red);
  c_.notes[1]->setPalette(warn);
  left->addStretch();

  browser_ = new platform::BrowserView(this);
  browser_->setObjectName(QStringLiteral("registrationBrowser"));
  browser_->setAccessibleName(QStringLiteral("卡盟批量注册"));
  browser_->setMinimumWidth(640);
  outer->addWidget(browser_, 1);

  connect(c_.start, &QPushButton::clicked, this, &RegistrationWindow::start_registration);
  connect(c_.stop, &QPushButton::clicked, this, &RegistrationWindow::stop_registration);
  connect(c_.download, &QPushButton::clicked, this, &RegistrationWindow::download_control);
  resize(1180, 720);
}

void RegistrationWindow::open() {
  timer_->start(batch_interval());
  // 1-2.
  new_user_name();
  setWindowTitle(QStringLiteral("Quillory-卡盟批量注册"));
  page::LivePage& live = ctx_.pages().live(page::PageObjects::kLiveRegistration);
  live.attach_live_page(browser_);
  page::confirm_web_dialogs(browser_, platform::kWebMessageTitle, platform::kOkCaption, false, kConfirmPeriodMs);
  // 3-4.
  running_ = true;
  counter_ = 0;
  browser_->navigate(platform::from_gbk(ctx_.backoffice_address(kListPath)));
  // 5-6.
  QPointer<RegistrationWindow> self(this);
  platform::show_message(this, kLoginReminder);
  if (!self || ended_) return;
  ctx_.ensure_data_dir();
}

void RegistrationWindow::set_status(const QString& text) {
  c_.status->setText(text);
  emit status_text_changed(text);
}

void RegistrationWindow::new_user_name() {
  QLineEdit* box = c_.fields[0];
  box->setText(platform::from_gbk(next_name(platform::to_gbk(box->text()), clock_seed)));
}

void RegistrationWindow::start_registration() {
  if (ended_) return;
  if (in_batch_) {
    // Pressed again after "4.停止" while the stopped registration finishes: its batch
    // follows that one, never inside it.
    start_pending_ = true;
    return;
  }
  run_batches(false);
}

void RegistrationWindow::batch_timer_fired() {
  if (ended_) return;
  if (in_batch_) {
    tick_pending_ = true;
    return;
  }
  // A deferred tick is waiting for its time: that one starts the batch.
  if (deferred_->isActive()) return;
  run_batches(true);
}

void RegistrationWindow::stop_registration() {
  c_.start->setEnabled(true);
  c_.stop->setEnabled(false);
  running_ = false;
}

void RegistrationWindow::download_control() {
  QDesktopServices::openUrl(QUrl(QString::fromUtf8(kSecurityControlUrl)));
}

QJsonObject RegistrationWindow::run_settings(bool by_timer) const {
  // The boxes that fill the form, without the passwords (the journal is a plain file).
  QJsonObject boxes;
  for (size_t i = 5; i < kFields.size(); ++i)
    boxes.insert(QString::fromLatin1(kFields[i].field), c_.fields[i]->text());
  return QJsonObject{
      {"started_by", by_timer ? QStringLiteral("timer") : QStringLiteral("3.注册")},
      {"counter", counter_},
      {"boxes", boxes},
  };
}

void RegistrationWindow::run_batches(bool reset_counter) {
  in_batch_ = true;
  submitted_in_batch_ = false;
  {
    ToolRun run(this, browser_);
    if (reset_counter) counter_ = 0;
    // One item per registration, keyed by its user name; the platform's answer to the
    // submission lands in it.
    journal::Run record(ctx_.data_dir(), QStringLiteral("[hot]批量注册"), browser_, run_settings(reset_counter), {});
    run.report_to(&record, [this](const QString& text) { set_status(text); });
    run.stop_when([this] { return !running_; });
    auto idle = [this] {
      c_.start->setEnabled(true);
      c_.stop->setEnabled(false);
    };
    // One registration after the other until stop or the limit (steps 13-14). A
    // registration whose page did not come is not done and the next one starts afresh;
    // a page without the link or the button the steps need, or the login page, ends the
    // batch (the status says why).
    std::optional<PageMark> opened;
    link_loads_.reset();
    for (;;) {
      const Outcome o = register_one(run, record, opened);
      if (o == Outcome::gone) {
        if (run.window_exists()) in_batch_ = false;
        return;
      }
      if (o == Outcome::end_batch || o == Outcome::login_expired) {
        idle();
        if (o == Outcome::end_batch) {
          record.end(journal::Ending::page_not_ready);
          set_status(run.last_problem() + QStringLiteral("，本批注册已停止"));
        }
        break;
      }
      if (!running_ || counter_ == kBatchLimit) {
        record.end(running_ ? journal::Ending::finished : journal::Ending::stopped);
        idle();
        set_status(kStopped);
        break;
      }
      ++counter_;
    }
    emit batch_finished();
    if (!run.alive() || ended_) {
      if (run.window_exists()) in_batch_ = false;
      return;
    }
  }
  // A tick that came during the batch waits until the platform takes registrations again:
  // 10 minutes (the timer's interval) after the first submission of the last batch that
  // submitted one.
  bool reset = false;
  if (tick_pending_) {
    tick_pending_ = false;
    const qint64 wait =
        first_submission_ms_ < 0 ? 0 : first_submission_ms_ + timer_->interval() - clock_.elapsed();
    if (wait > 0) {
      deferred_->start(static_cast<int>(wait));
      set_status(kStopped + QStringLiteral("（下一批将于%1开始）")
                                .arg(QTime::currentTime().addMSecs(static_cast<int>(wait)).toString(
                                    QStringLiteral("HH:mm:ss"))));
    } else {
      reset = true;
    }
  }
  // A tick due now or a press that came during the batch starts its batch now, from the
  // event loop; until then the window counts as busy, so nothing else starts in between.
  if (!reset && !start_pending_) {
    in_batch_ = false;
    return;
  }
  start_pending_ = false;
  QTimer::singleShot(0, this, [this, reset] {
    if (ended_ || closing()) {
      in_batch_ = false;
      return;
    }
    run_batches(reset);
  });
}

namespace {

// The "新建下级" form: on the list page or a page of its own, loaded, with the box the
// steps fill first. since: whether it is a page loaded after the click (link_loads: what
// the link did before, unknown: either).
Expect registration_form(std::optional<bool> link_loads) {
  const auto since = !link_loads ? Expect::Since::load_if_any : *link_loads ? Expect::Since::action : Expect::Since::any;
  return Expect::holding(QStringLiteral("新建下级页面"), {"CustomerName"}, since);
}

// A page with the link "新建下级": the platform's answer to a submission (when the form
// posts), and what the link's click of step 12 leaves for the next registration.
Expect page_with_link(Expect::Since since = Expect::Since::load_if_any) {
  return Expect::holding(QStringLiteral("下级客户页面"), {platform::to_gbk(QString::fromUtf8(kNewLink))}, since);
}

QString link_caption() { return QStringLiteral("链接“%1”").arg(QString::fromUtf8(kNewLink)); }

}  // namespace

RegistrationWindow::Outcome RegistrationWindow::register_one(ToolRun& run, journal::Run& record,
                                                             std::optional<PageMark>& opened) {
  auto waited = [&](int ms) { return run.wait(ms) && !ended_; };
  // The page lacks what the step acts on: every later registration would find the same.
  auto nothing_to_act_on = [&](ToolRun& r, const QString& what) {
    r.nothing_to_act_on(what);
    return r.alive() && !ended_ ? Outcome::end_batch : Outcome::gone;
  };
  // How a page wait or an action that found nothing went, for the registration.
  auto outcome = [&](Arrival a, Outcome when_missing) {
    if (a == Arrival::ended || ended_) return Outcome::gone;
    if (a == Arrival::login_expired) return Outcome::login_expired;
    if (a == Arrival::stopped) run.not_done(QStringLiteral("已停止：未等到平台的页面"));
    return when_missing;
  };
  page::LivePage& live = ctx_.pages().live(page::PageObjects::kLiveRegistration);

  // 1-2.
  c_.start->setEnabled(false);
  c_.stop->setEnabled(true);
  running_ = true;
  set_status(kRegistering);
  new_user_name();
  const QString name = c_.fields[0]->text();
  record.begin_item(name);
  // 3: the wait, and with it the page that the last registration's click of step 12 opened;
  // that click shows whether the link loads a page for the form.
  if (opened) {
    const Arrival a = run.wait_for(kBeforeLinkMs, *opened, page_with_link(), ToolRun::Kind::responsive, browser_);
    if (a == Arrival::arrived && browser_) link_loads_ = browser_->loads_started() > opened->loads;
    opened.reset();
    if (a != Arrival::arrived) return outcome(a, Outcome::not_done);
    if (ended_) return Outcome::gone;
  } else if (!waited(kBeforeLinkMs)) {
    return Outcome::gone;
  }
  // 4: the link (the platform's login page instead ends the batch), and the form it opens,
  // before any key is pressed.
  const Arrival shown = run.look(PageMark{}, page_with_link(Expect::Since::any), browser_);
  if (shown == Arrival::login_expired || shown == Arrival::ended) return outcome(shown, Outcome::end_batch);
  PageMark mark = run.mark(browser_);
  live.attach_live_page(browser_);
  if (!live.live_click_link(platform::to_gbk(QString::fromUtf8(kNewLink)))) return nothing_to_act_on(run, link_caption());
  if (!run.alive() || ended_) return Outcome::gone;
  Arrival a = run.wait_for(0, mark, registration_form(link_loads_), ToolRun::Kind::responsive, browser_);
  if (a != Arrival::arrived) return outcome(a, Outcome::not_done);
  if (ended_) return Outcome::gone;
  // 5-7.
  give_browser_focus();
  for (int i = 1; i <= kTabPresses; ++i) {
    press_key(Qt::Key_Tab, QStringLiteral("\t"));
    if (!waited(i < kTabPresses ? kBetweenTabsMs : kAfterTabsMs)) return Outcome::gone;
  }
  type_password();
  // 8-9.
  if (!waited(kAroundTabMs)) return Outcome::gone;
  press_key(Qt::Key_Tab, QStringLiteral("\t"));
  if (!waited(kAroundTabMs)) return Outcome::gone;
  type_password();
  // 10.
  live.attach_live_page(browser_);
  for (size_t i = 0; i < kFields.size(); ++i)
    live.live_set_input_text(kFields[i].field, platform::to_gbk(c_.fields[i]->text()));
  if (!run.alive() || ended_) return Outcome::gone;
  // 11.
  if (!waited(kBeforeSubmitMs)) return Outcome::gone;
  mark = run.mark(browser_);
  live.attach_live_page(browser_);
  if (!live.live_click_button(kSubmitButton))
    return nothing_to_act_on(run, QStringLiteral("按钮 %1").arg(QString::fromLatin1(kSubmitButton)));
  if (!run.alive() || ended_) return Outcome::gone;
  if (!submitted_in_batch_) {
    submitted_in_batch_ = true;
    first_submission_ms_ = clock_.elapsed();
  }
  emit submitted(name);
  // 12: the platform's answer, then the link again (its page is awaited by the next
  // registration's step 3).
  a = run.wait_for(kAfterSubmitMs, mark, page_with_link(), ToolRun::Kind::responsive, browser_);
  if (a != Arrival::arrived) return outcome(a, Outcome::not_done);
  if (ended_) return Outcome::gone;
  mark = run.mark(browser_);
  live.attach_live_page(browser_);
  if (!live.live_click_link(platform::to_gbk(QString::fromUtf8(kNewLink)))) return nothing_to_act_on(run, link_caption());
  if (!run.alive() || ended_) return Outcome::gone;
  opened = mark;
  return Outcome::submitted;
}

void RegistrationWindow::give_browser_focus() {
  if (!browser_) return;
  for (int i = 0; i < kFocusTimes; ++i) browser_->setFocus(Qt::OtherFocusReason);
}

void RegistrationWindow::press_key(int key, const QString& text) {
  if (!browser_) return;
  // The widget that takes the page's keyboard input changes with navigations: fetch it
  // for every key. Keys go to it directly, never through the window system, so they
  // cannot reach another window or program.
  QWidget* target = browser_->focusProxy();
  if (!target || !browser_->isAncestorOf(target)) return;
  QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(target, &down);
  QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QCoreApplication::sendEvent(target, &up);
}

void RegistrationWindow::type_password() {
  for (const char* p = kTypedPassword; *p; ++p) {
    const char ch = *p;
    const int key = ch >= '0' && ch <= '9' ? Qt::Key_0 + (ch - '0') : Qt::Key_A + (ch - 'a');
    press_key(key, QString(QChar::fromLatin1(ch)));
  }
}

void RegistrationWindow::on_closing() {
  ended_ = true;
  if (timer_) timer_->stop();
  if (deferred_) deferred_->stop();
  // The confirmer belongs to the browser and goes with it when the window is deleted: a
  // box that the page raises while the window closes is still answered.
}

}  // namespace tools::subaccounts
