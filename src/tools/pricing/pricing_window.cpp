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

// The pages the steps of a row expect.
// The row's link opens a dialog frame with "确认添加".
Expect stock_dialog(const RowCursor& at) {
  return Expect::holding(QStringLiteral("第%1页第%2行的增加地区库存对话框").arg(at.page()).arg(at.row()),
                         {gbk(kConfirmAdd)});
}
// "确认添加" brings the price form.
Expect price_form(const ModeFields& fields) {
  return Expect::holding(QStringLiteral("价格表单"), {"txtPurchase", fields.price_box, fields.set_button, "btnSubmit"});
}
// btnSubmit's answer closes the dialog: the list again, without the price form.
Expect list_again() {
  Expect e = Expect::holding(QStringLiteral("商品列表（价格表单已关闭）"), {gbk(kStockLink)}, Expect::Since::any);
  e.absent = {"txtPurchase"};
  return e;
}
// A page turn: the list with the chosen option selected in its pager.
Expect turned_page(int option) {
  Expect e = Expect::holding(QStringLiteral("商品列表第%1页").arg(option), {});
  e.select = kPager;
  e.selected = option - 1;
  return e;
}

QString journal_pointer(int not_done) {
  return not_done > 0 ? QStringLiteral("，其中%1行未能完成，详见“记录”→“运行记录”").arg(not_done) : QString();
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
  c_.status = new QLabel(this);
  c_.status->setWordWrap(true);
  c_.status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  outer->addWidget(c_.status);
  outer->addStretch();

  connect(c_.start, &QPushButton::clicked, this, &PricingWindow::start_run);
  connect(c_.stop, &QPushButton::clicked, this, &PricingWindow::stop_run);
  resize(420, 230);
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

void PricingWindow::set_status(const QString& text) {
  c_.status->setText(text);
  emit status_text_changed(text);
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
  auto step = [&](int ms, const PageMark& mark, const Expect& expect) {
    const Arrival a = run.wait_for(ms, mark, expect);
    return ended_ || !browser ? Arrival::ended : a;
  };

  // 1.
  page::confirm_web_dialogs(browser, platform::kWebMessageTitle, platform::kOkCaption, false, kConfirmPeriodMs);
  run.disable_browser_input();
  count_ = 0;
  cursor_.start(current_page());
  journal::Run record(ctx_.data_dir(), QStringLiteral("自动库存+定价"), browser, run_settings(), {});
  run.report_to(&record, [this](const QString& text) { set_status(text); });
  run.stop_when([this] { return count_ >= kStoppedCount || ended_; });
  int rows_not_done = 0;

  // How the run ends before 10000 rows: at the list's end, at a page that did not come, at
  // the login page, or stopped during a page wait. The window is idle again.
  auto end_run = [&](Arrival how, const QString& text) {
    if (how == Arrival::stopped) {
      run.not_done(QStringLiteral("已停止：未等到平台的应答页面"));
      record.end(journal::Ending::stopped);
    } else if (how == Arrival::missing) {
      record.end(journal::Ending::page_not_ready);
    } else if (how == Arrival::arrived) {
      record.end(journal::Ending::finished);
    }
    run.enable_browser_input();
    c_.start->setEnabled(true);
    c_.stop->setEnabled(false);
    if (!text.isEmpty()) set_status(text);
    emit run_finished();
    if (restart_) {
      restart_ = false;
      QTimer::singleShot(0, this, &PricingWindow::start_run);
    }
  };

  // 2.
  while (count_ < kRowLimit) {
    emit row_started(cursor_.row(), cursor_.page());
    set_status(QStringLiteral("正在处理第%1页第%2行").arg(cursor_.page()).arg(cursor_.row()));
    // 2.1-2.2: the row's link opens its dialog. A page with fewer rows has no such link:
    // the list is done.
    PageMark mark = run.mark();
    snap.attach_page(browser);
    bool clicked = snap.click_titled_link(gbk(kStockLink), cursor_.row());
    if (!clicked && run.alive() && !ended_ && browser && run.look(PageMark{}, list_again()) == Arrival::arrived) {
      // A page call a busy engine did not answer in time is no end of the list: once more.
      snap.attach_page(browser);
      clicked = snap.click_titled_link(gbk(kStockLink), cursor_.row());
    }
    if (!clicked) {
      if (!run.alive() || ended_ || !browser) return;
      if (count_ == 0)  // not even a first row: not the list meant
        return end_run(Arrival::arrived, QStringLiteral("页面上没有“增加地区库存”链接，定价结束"));
      return end_run(Arrival::arrived, QStringLiteral("商品已全部处理，定价结束") + journal_pointer(rows_not_done));
    }
    record.begin_item(QString::fromStdString(cursor_.key()));
    Arrival a = step(kAfterLinkMs, mark, stock_dialog(cursor_));
    if (a == Arrival::ended) return;
    if (a == Arrival::login_expired || a == Arrival::stopped) return end_run(a, {});
    // 2.3 (the buttons of a running run; once stopped they stay as "停止定价" left them)
    if (count_ < kStoppedCount) {
      c_.start->setEnabled(false);
      c_.stop->setEnabled(true);
    }
    const int mode = c_.mode->currentIndex();
    const ModeFields fields = mode_fields(mode);
    if (a == Arrival::arrived) {
      mark = run.mark();
      snap.attach_page(browser);
      if (!snap.click_button(gbk(kConfirmAdd))) {
        if (!run.alive() || ended_ || !browser) return;
        run.nothing_to_act_on(QStringLiteral("“确认添加”按钮"));
        a = Arrival::missing;
      } else {
        // 2.4
        a = step(kAfterConfirmMs, mark, price_form(fields));
        if (a == Arrival::ended) return;
        if (a == Arrival::login_expired || a == Arrival::stopped) return end_run(a, {});
      }
    }
    ++count_;
    const bool page_done = cursor_.next();
    // A row whose dialog or form did not come is not done; the list is still there, so the
    // run goes on with the next row.
    bool submitted = false;
    if (a == Arrival::arrived) {
      // 2.5-2.6
      snap.attach_page(browser);
      snap.set_textbox_text("txtPurchase", gbk(c_.purchase));
      const QLineEdit* level = mode == 1 ? c_.purchase_discount : mode == 2 ? c_.face_value_discount : c_.addition;
      snap.attach_page(browser);
      snap.set_textbox_text(fields.price_box, gbk(level));
      snap.attach_page(browser);
      snap.click_button(fields.set_button);
      // 2.7
      if (!waited(kBeforeSubmitMs)) return;
      mark = run.mark();
      snap.attach_page(browser);
      submitted = snap.click_button("btnSubmit");
      if (!run.alive() || !browser || ended_) return;
      if (!submitted) run.nothing_to_act_on(QStringLiteral("提交按钮 btnSubmit"));
    }
    if (!submitted) ++rows_not_done;

    if (!page_done) {
      // 2.9: the answer closes the dialog before the next row's link.
      if (submitted) {
        a = step(kAfterRowMs, mark, list_again());
        if (a == Arrival::ended) return;
        if (a == Arrival::login_expired || a == Arrival::stopped) return end_run(a, {});
        if (a == Arrival::missing) ++rows_not_done;
      } else if (!waited(kAfterRowMs)) {
        return;
      }
      continue;
    }

    // 2.8: 19 rows done on this page. The answer first, so that the page turn does not
    // cut it off; then the pager's next option, or the end of the list.
    if (submitted) {
      a = step(0, mark, list_again());
      if (a == Arrival::ended) return;
      if (a == Arrival::login_expired || a == Arrival::stopped) return end_run(a, {});
      if (a == Arrival::missing) ++rows_not_done;
    }
    record.end_item();
    snap.attach_page(browser);
    int option = 0;
    if (!snap.get_select_name(kPager).empty())
      option = next_option(snap.get_selected_index(kPager), snap.count_options(kPager));
    if (!run.alive() || !browser || ended_) return;
    if (option == 0)
      return end_run(Arrival::arrived, QStringLiteral("已到最后一页，定价结束") + journal_pointer(rows_not_done));
    snap.attach_page(browser);
    snap.select_option(kPager, option);
    snap.attach_page(browser);
    mark = run.mark();
    snap.fire_element_event(snap.get_select_element(kPagerSelect), "onchange");
    cursor_.turned(option);
    // 2.9: the chosen page before its row 1. A turn that does not come ends the run: row 1
    // would be clicked on the page of before.
    a = step(kAfterRowMs, mark, turned_page(option));
    if (a == Arrival::ended) return;
    if (a == Arrival::missing) {
      record.begin_item(QString::fromStdString(cursor_.key()));
      record.item_not_done(run.last_problem());
    }
    if (a != Arrival::arrived) return end_run(a, {});
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
