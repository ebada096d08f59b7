#include "tools/orders/orders_window.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "page/page_objects.h"
#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "platform/waits.h"
#include "tools/common/journal.h"
#include "tools/common/tool_context.h"

namespace tools::orders {

namespace {

constexpr int kAfterAttachMs = 1000;  // step 3
constexpr int kAfterTicksMs = 1500;   // step 5
constexpr int kAfterBatchMs = 2000;   // step 6
constexpr int kBetweenFieldsMs = 300; // steps 8 and 9

// After a stop during a cycle, the time the run stays open for the answer to its last click.
constexpr int kAnswerGraceMs = 2000;

const QString kInitialMessage = QStringLiteral("亲！您好，你的订单正在处理中！请稍后哦，我们正在给您发货！");

// The pages the steps expect.
// The manual order list a cycle starts from.
Expect order_list() { return Expect::holding(QStringLiteral("手工订单列表"), {"Manual"}, Expect::Since::any); }
// "Manual" reloads it.
Expect reloaded_list() { return Expect::holding(QStringLiteral("刷新后的手工订单列表"), {"btnBatch"}); }
// btnBatch opens the batch form (in its dialog frame or in the page).
Expect batch_form(Target status) {
  return Expect::holding(QStringLiteral("批量处理表单"), {"txtMsg", "BtnCheck", target_radio(status)});
}
// The platform's answer to btnBatch with nothing ticked, or to BtnCheck.
Expect batch_answer() {
  Expect e = Expect::holding(QStringLiteral("平台的应答"), {});
  e.any_document = true;
  return e;
}

}  // namespace

OrdersWindow::OrdersWindow(ToolContext& ctx) : ToolWindow(ctx), ctx_(ctx) {
  build();
  // Window created.
  setWindowTitle(ctx_.main_title() + QStringLiteral("-订单自动处理"));
  ctx_.ensure_data_dir();
}

OrdersWindow::~OrdersWindow() { shut_down(); }

void OrdersWindow::build() {
  auto* outer = new QVBoxLayout(this);
  c_.instruction = new QLabel(
      QStringLiteral("请务必点击网页中的“手工订单列表”，等待出现手动订单列表页面后，即可操作本软件"), this);
  c_.instruction->setWordWrap(true);
  outer->addWidget(c_.instruction);

  auto* grid = new QGridLayout;
  outer->addLayout(grid);
  auto* target_label = new QLabel(QStringLiteral("自动将订单置为:"), this);
  grid->addWidget(target_label, 0, 0, Qt::AlignRight);
  auto* radios = new QHBoxLayout;
  auto* group = new QButtonGroup(this);
  const QString captions[3] = {QStringLiteral("处理中"), QStringLiteral("充值成功"), QStringLiteral("取消充值")};
  for (int i = 0; i < 3; ++i) {
    c_.target[i] = new QRadioButton(captions[i], this);
    group->addButton(c_.target[i], i);
    radios->addWidget(c_.target[i]);
  }
  target_label->setBuddy(c_.target[0]);
  c_.target[0]->setChecked(true);
  radios->addStretch();
  grid->addLayout(radios, 0, 1);

  c_.message = new QLineEdit(kInitialMessage, this);
  c_.message->setAccessibleName(QStringLiteral("返回信息:"));
  auto* message_label = new QLabel(QStringLiteral("返回信息:"), this);
  message_label->setBuddy(c_.message);
  grid->addWidget(message_label, 1, 0, Qt::AlignRight);
  grid->addWidget(c_.message, 1, 1);
  grid->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  c_.start = new QPushButton(QStringLiteral("开始监控"), this);
  c_.stop = new QPushButton(QStringLiteral("停止监控"), this);
  c_.stop->setEnabled(false);
  for (auto* b : {c_.start, c_.stop}) {
    b->setMinimumHeight(34);
    buttons->addWidget(b);
  }
  buttons->addStretch();
  outer->addLayout(buttons);
  c_.interval_note = new QLabel(QStringLiteral("软件默认60秒检查一次，请无需担心！"), this);
  outer->addWidget(c_.interval_note);
  c_.status = new QLabel(this);
  c_.status->setWordWrap(true);
  c_.status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  outer->addWidget(c_.status);

  // Idle until "开始监控".
  timer_ = new QTimer(this);
  connect(timer_, &QTimer::timeout, this, &OrdersWindow::tick);
  connect(c_.start, &QPushButton::clicked, this, &OrdersWindow::start_watch);
  connect(c_.stop, &QPushButton::clicked, this, &OrdersWindow::stop_watch);
  resize(520, 250);
}

Target OrdersWindow::target() const {
  if (c_.target[1]->isChecked()) return Target::succeeded;
  if (c_.target[2]->isChecked()) return Target::cancelled;
  return Target::processing;
}

void OrdersWindow::open_run() {
  if (journal_) journal_->end(journal::Ending::stopped);
  new_run_pending_ = false;
  journal_ = std::make_unique<journal::Run>(
      ctx_.data_dir(), QStringLiteral("订单自动处理"), ctx_.main_browser(),
      QJsonObject{{QStringLiteral("status"), platform::from_gbk(target_caption(target()))},
                  {QStringLiteral("message"), c_.message->text()}},
      QStringList{});
}

void OrdersWindow::start_watch() {
  stop_pending_ = false;
  // A cycle under way finishes its item in its own run; the new run begins with the next
  // cycle.
  if (in_cycle_) new_run_pending_ = true;
  else open_run();
  c_.start->setEnabled(false);
  c_.stop->setEnabled(true);
  // The first cycle comes with the timer's first tick.
  timer_->start(std::max(1, static_cast<int>(std::lround(kCheckIntervalMs * platform::wait_scale()))));
}

void OrdersWindow::stop_watch() {
  c_.stop->setEnabled(false);
  c_.start->setEnabled(true);
  timer_->stop();
  new_run_pending_ = false;
  // A cycle in progress finishes first and ends the run itself.
  if (in_cycle_) stop_pending_ = true;
  else if (journal_) journal_->end(journal::Ending::stopped);
}

void OrdersWindow::set_status(const QString& text) {
  c_.status->setText(text);
  emit status_text_changed(text);
}

void OrdersWindow::end_watch() {
  timer_->stop();
  c_.stop->setEnabled(false);
  c_.start->setEnabled(true);
  new_run_pending_ = false;
  stop_pending_ = false;
}

void OrdersWindow::tick() {
  // A tick that comes while a cycle still runs starts no second one.
  if (in_cycle_) {
    ++skipped_;
    return;
  }
  if (new_run_pending_) open_run();
  run_cycle();
}

void OrdersWindow::run_cycle() {
  platform::BrowserView* browser = ctx_.main_browser();
  ToolRun run(this, browser);
  page::LivePage& live = ctx_.pages().live(page::PageObjects::kLiveMain);
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kOrders);
  in_cycle_ = true;
  // The flag drops however the cycle ends.
  struct Done {
    OrdersWindow* w;
    ToolRun& run;
    ~Done() {
      if (!run.window_exists()) return;
      w->in_cycle_ = false;
      // The cycle's item stays open for the platform's answer to the last click; the
      // next cycle or the run's end closes it.
      if (w->journal_ && w->stop_pending_) {
        OrdersWindow* self = w;
        journal::Run* ended = w->journal_.get();
        QTimer::singleShot(kAnswerGraceMs, self, [self, ended] {
          if (self->journal_.get() == ended) self->journal_->end(journal::Ending::stopped);
        });
      }
      w->stop_pending_ = false;
    }
  } done{this, run};
  ++cycles_;
  const QDateTime at = QDateTime::currentDateTime();
  if (journal_) journal_->begin_item(at.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")));
  run.report_to(journal_.get(), [this](const QString& text) { set_status(text); });
  emit cycle_started(at);
  set_status(QStringLiteral("正在检查手工订单（%1）").arg(at.toString(QStringLiteral("HH:mm:ss"))));
  // A step's page that did not come: the cycle is not done (recorded), the watch goes on
  // with the next tick; the login page ends the watch.
  auto go_on = [&](Arrival a) {
    if (a == Arrival::login_expired) end_watch();
    return a == Arrival::arrived;
  };

  // 1. Without the order list there is nothing to reload: the watch ends (every later tick
  // would find the same).
  const Arrival listed = run.look(PageMark{}, order_list());
  if (listed != Arrival::arrived) {
    if (listed == Arrival::missing) {
      run.nothing_to_act_on(QStringLiteral("“手工订单列表”控件 Manual，监控已停止"));
      if (journal_) journal_->end(journal::Ending::page_not_ready);
    }
    if (listed != Arrival::ended) end_watch();
    return;
  }
  PageMark mark = run.mark();
  live.attach_live_page(browser);
  live.run_script("document.getElementById(\"Manual\").click();");
  // 3, then 2: the reloaded list, whose boxes are counted.
  if (!go_on(run.wait_for(kAfterAttachMs, mark, reloaded_list()))) return;
  snap.attach_page(browser);
  const int n = snap.count_checkboxes();
  // 4
  for (int i = 1; i <= n; ++i) {
    snap.attach_page(browser);
    snap.click_checkbox(std::to_string(i));
    if (!run.alive()) return;
  }
  // 5
  if (!run.wait(kAfterTicksMs)) return;
  const Target status = target();
  snap.attach_page(browser);
  mark = run.mark();
  if (!snap.click_link("btnBatch")) {
    if (run.window_exists()) run.nothing_to_act_on(QStringLiteral("批量处理链接 btnBatch"));
    return;
  }
  // 6: the batch form. With nothing ticked the platform may answer without it: then
  // there is nothing to confirm.
  if (n > 0) {
    if (!go_on(run.wait_for(kAfterBatchMs, mark, batch_form(status)))) return;
  } else {
    if (!go_on(run.wait_for(kAfterBatchMs, mark, batch_answer()))) return;
    const Arrival form = run.look(mark, batch_form(status));
    if (form != Arrival::arrived) {
      if (form != Arrival::missing) return (void)go_on(form);
      if (journal_) {
        journal_->set_detail(QStringLiteral("勾选0个订单，批量处理未打开"));
        // Quiet cycles in a row are one item with their count: a day without orders
        // stays a few rows.
        journal_->fold_into_previous();
      }
      set_status(QStringLiteral("%1 检查完毕：没有待处理的订单").arg(at.toString(QStringLiteral("HH:mm:ss"))));
      emit cycle_finished(0);
      return;
    }
  }
  // 7
  snap.attach_page(browser);
  snap.check_radio(target_radio(status));
  // 8
  if (!run.wait(kBetweenFieldsMs)) return;
  const std::string message = platform::to_gbk(c_.message->text());
  snap.attach_page(browser);
  snap.set_textbox_text("txtMsg", message);
  // 9 (the platform's answer lands in the cycle's journal item)
  if (!run.wait(kBetweenFieldsMs)) return;
  if (journal_) journal_->set_detail(platform::from_gbk(cycle_detail(n, status, message)));
  snap.attach_page(browser);
  mark = run.mark();
  if (!snap.click_button("BtnCheck")) {
    if (run.window_exists()) run.nothing_to_act_on(QStringLiteral("确认按钮 BtnCheck"));
    return;
  }
  if (!run.window_exists()) return;
  const Arrival answer = run.wait_for(0, mark, batch_answer());
  if (answer == Arrival::ended || answer == Arrival::login_expired) return (void)go_on(answer);
  if (answer == Arrival::arrived)
    set_status(QStringLiteral("%1 检查完毕：勾选%2个订单，已提交批量处理").arg(at.toString(QStringLiteral("HH:mm:ss"))).arg(n));
  emit cycle_finished(n);
}

void OrdersWindow::on_closing() {
  timer_->stop();
  if (journal_) journal_->end(journal::Ending::window_closed);
}

}  // namespace tools::orders
