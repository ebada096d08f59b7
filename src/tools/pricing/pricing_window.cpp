#include "tools/pricing/pricing_window.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "page/confirmer.h"
#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "tools/common/journal.h"
#include "tools/common/tool_context.h"

namespace tools::pricing {

namespace {

constexpr int kConfirmPeriodMs = 700;
constexpr int kAfterLinkMs = 2000;
constexpr int kAfterConfirmMs = 3000;
constexpr int kBeforeSubmitMs = 1000;
constexpr int kAfterRowMs = 5000;
constexpr int kPagerSelect = 4;  // the pager is the fourth select of the list page

std::string gbk(const char* utf8) { return platform::to_gbk(QString::fromUtf8(utf8)); }
std::string gbk(const QLineEdit* box) { return platform::to_gbk(box->text()); }

QLineEdit* box(const QString& caption, const QString& text, QWidget* parent) {
  auto* e = new QLineEdit(text, parent);
  e->setAccessibleName(caption);
  return e;
}

}  // namespace

PricingWindow::PricingWindow(ToolContext& ctx) : ToolWindow(ctx), ctx_(ctx) {
  build();
  // Window opened.
  setWindowTitle(ctx_.main_title() + QStringLiteral("-全自动定价"));
  c_.mode->setCurrentIndex(0);
  ctx_.ensure_data_dir();
}

PricingWindow::~PricingWindow() { shut_down(); }

void PricingWindow::build() {
  auto* outer = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  outer->addLayout(grid);
  int row = 0;
  auto add = [&](const QString& caption, QWidget* control, const QString& unit = QString()) {
    auto* label = new QLabel(caption, this);
    label->setBuddy(control);
    grid->addWidget(label, row, 0, Qt::AlignRight);
    grid->addWidget(control, row, 1);
    if (!unit.isEmpty()) grid->addWidget(new QLabel(unit, this), row, 2);
    ++row;
  };

  c_.purchase = box(QStringLiteral("进价："), QStringLiteral("10"), this);
  add(QStringLiteral("进价："), c_.purchase);
  c_.mode = new QComboBox(this);
  c_.mode->addItems({QStringLiteral("1、按直接累加递增"), QStringLiteral("2、按进价折扣递增"),
                     QStringLiteral("3、按面值折扣递增")});
  add(QStringLiteral("自动填写："), c_.mode);
  c_.addition = box(QStringLiteral("按直接累加递增"), QStringLiteral("0.3"), this);
  add(QStringLiteral("按直接累加递增"), c_.addition, QStringLiteral("元"));
  c_.purchase_discount = box(QStringLiteral("按进价折扣递增"), QString(), this);
  add(QStringLiteral("按进价折扣递增"), c_.purchase_discount, QStringLiteral("%"));
  c_.face_value_discount = box(QStringLiteral("按面值折扣递增"), QString(), this);
  add(QStringLiteral("按面值折扣递增"), c_.face_value_discount, QStringLiteral("%"));
  grid->setColumnStretch(1, 1);

  auto* buttons = new QHBoxLayout;
  c_.start = new QPushButton(QStringLiteral("确认定价"), this);
  c_.stop = new QPushButton(QStringLiteral("停止定价"), this);
  c_.stop->setEnabled(false);
  for (QPushButton* b : {c_.start, c_.stop}) {
    b->setMinimumHeight(32);
    buttons->addWidget(b);
  }
  outer->addLayout(buttons);
  outer->addStretch();

  connect(c_.start, &QPushButton::clicked, this, &PricingWindow::start_run);
  connect(c_.stop, &QPushButton::clicked, this, &PricingWindow::stop_run);
  resize(420, 200);
}

void PricingWindow::on_closing() {
  ended_ = true;
  // Also the confirmer that start-up started: the main browser's one timer.
  page::confirm_web_dialogs(ctx_.main_browser(), platform::kWebMessageTitle, platform::kOkCaption, true);
}

QJsonObject PricingWindow::run_settings() const {
  return QJsonObject{
      {"purchase_price", c_.purchase->text()},
      {"mode", c_.mode->currentText()},
      {"addition", c_.addition->text()},
      {"purchase_discount", c_.purchase_discount->text()},
      {"face_value_discount", c_.face_value_discount->text()},
  };
}

// The page of the list shown now, from its pager (1 without one); for the journal only.
int PricingWindow::current_page() {
  platform::BrowserView* browser = ctx_.main_browser();
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kPricing);
  snap.attach_page(browser);
  if (snap.get_select_name(kPager).empty()) return 1;
  return snap.get_selected_index(kPager) + 1;
}

void PricingWindow::stop_run() {
  c_.start->setEnabled(true);
  c_.stop->setEnabled(false);
  count_ = kStoppedCount;
  ToolRun gate(this, ctx_.main_browser());
  gate.enable_browser_input();
}

void PricingWindow::start_run() {
  if (ended_) return;
  if (running()) {
    // A press after "停止定价" while the stopped row still finishes: the new run follows.
    if (count_ >= kStoppedCount) restart_ = true;
    return;
  }
  restart_ = false;
  QPointer<platform::BrowserView> browser = ctx_.main_browser();
  if (!browser) return;
  ToolRun run(this, browser);
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kPricing);
  // The window's closing work ends the run too (the main window closing does it before
  // the process ends).
  auto waited = [&](int ms) { return run.wait(ms) && browser && !ended_; };

  // 1.
  page::confirm_web_dialogs(browser, platform::kWebMessageTitle, platform::kOkCaption, false, kConfirmPeriodMs);
  run.disable_browser_input();
  count_ = 0;
  cursor_.start(current_page());
  journal::Run record(ctx_.data_dir(), QStringLiteral("自动库存+定价"), browser, run_settings(), {});

  // 2.
  while (count_ < kRowLimit) {
    record.begin_item(QString::fromStdString(cursor_.key()));
    emit row_started(cursor_.row(), cursor_.page());
    snap.attach_page(browser);
    snap.click_titled_link(gbk(kStockLink), cursor_.row());
    if (!waited(kAfterLinkMs)) return;
    snap.attach_page(browser);
    snap.click_button(gbk(kConfirmAdd));
    if (!run.alive() || ended_) return;
    // Once stopped, the buttons stay as "停止定价" left them (the row still finishes).
    if (count_ < kStoppedCount) {
      c_.start->setEnabled(false);
      c_.stop->setEnabled(true);
    }
    if (!waited(kAfterConfirmMs)) return;
    ++count_;
    const bool page_done = cursor_.next();
    snap.attach_page(browser);
    snap.set_textbox_text("txtPurchase", gbk(c_.purchase));
    const int mode = c_.mode->currentIndex();
    const ModeFields fields = mode_fields(mode);
    const QLineEdit* level = mode == 1 ? c_.purchase_discount : mode == 2 ? c_.face_value_discount : c_.addition;
    snap.attach_page(browser);
    snap.set_textbox_text(fields.price_box, gbk(level));
    snap.attach_page(browser);
    snap.click_button(fields.set_button);
    if (!waited(kBeforeSubmitMs)) return;
    snap.attach_page(browser);
    snap.click_button("btnSubmit");
    if (!run.alive() || !browser || ended_) return;
    if (page_done) {
      snap.attach_page(browser);
      int selected = -1;
      int options = 0;
      if (!snap.get_select_name(kPager).empty()) {
        selected = snap.get_selected_index(kPager);
        options = snap.count_options(kPager);
        snap.attach_page(browser);
        snap.select_option(kPager, selected + 2);
        snap.attach_page(browser);
        snap.fire_element_event(snap.get_select_element(kPagerSelect), "onchange");
      }
      cursor_.turned(selected, options);
    }
    if (!waited(kAfterRowMs)) return;
  }
  if (count_ >= kStoppedCount) {
    record.end(journal::Ending::stopped);
  } else {
    // 10000 rows: the loop ends, the buttons and the browser stay as they are until
    // "停止定价".
    record.end(journal::Ending::finished);
    run.keep_browser_disabled();
  }
  emit run_finished();
  if (restart_) {
    restart_ = false;
    QTimer::singleShot(0, this, &PricingWindow::start_run);
  }
}

}  // namespace tools::pricing
