#include "tools/cards/card_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <vector>

#include "page/confirmer.h"
#include "page/live_page.h"
#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "tools/cards/card_import_core.h"
#include "tools/common/journal.h"
#include "tools/common/tool_context.h"

namespace tools::cards {

namespace {

constexpr int kConfirmPeriodMs = 700;
constexpr int kBeforeFillMs = 1500;
constexpr int kBeforeSubmitMs = 700;
constexpr int kAfterSaveMs = 5000;

const char* const kCountCaptions[4] = {"50", "100", "200(推荐)", "400"};

QLabel* caption_for(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  buddy->setAccessibleName(text);
  return label;
}

// Product m's import form at its import address (the path and the query that names the
// product), with the box and the button the next steps use.
Expect import_form(int m, const std::string& address) {
  return Expect::at(QStringLiteral("第%1个商品的导卡页").arg(m), platform::from_gbk(address), {"CardContent", "Submit"});
}

// The checked cards that "Submit" brings, with the button that saves them.
Expect preview(int m) { return Expect::holding(QStringLiteral("第%1个商品的导卡确认页").arg(m), {"Save"}); }

// The platform's answer to "Save": a page loaded after the click.
Expect saved(int m) { return Expect::holding(QStringLiteral("第%1个商品保存后的页面").arg(m), {}); }

// A button of a page that was checked a moment ago is gone: the product is not done.
Arrival nothing_to_act_on(ToolRun& run, const QString& what) {
  run.nothing_to_act_on(what);
  return run.alive() ? Arrival::missing : Arrival::ended;
}

}  // namespace

QString CardWindow::hint_text() {
  return QStringLiteral("第一个商品的卡密\n第二个商品的卡密\n第三个商品的卡密\n……依次类推");
}

CardWindow::CardWindow(ToolContext& ctx) : ToolWindow(ctx), ctx_(ctx) {
  build();
  // Window created.
  setWindowTitle(ctx_.main_title() + QStringLiteral("-批量导卡"));
  c_.card_number->setCurrentIndex(1);
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  ctx_.ensure_data_dir();
}

CardWindow::~CardWindow() { shut_down(); }

void CardWindow::build() {
  auto* outer = new QVBoxLayout(this);

  c_.instructions[0] = new QLabel(QStringLiteral("*操作顺序*\n1、在卡盟手动打开导卡页面"), this);
  outer->addWidget(c_.instructions[0]);

  auto* grid = new QGridLayout;
  outer->addLayout(grid);
  int row = 0;

  c_.content = new QPlainTextEdit(this);
  c_.content->setTabChangesFocus(true);
  c_.content->setPlainText(hint_text());
  c_.content->setMinimumHeight(150);
  grid->addWidget(caption_for(QStringLiteral("点卡内容："), c_.content, this), row, 0, Qt::AlignTop | Qt::AlignRight);
  grid->addWidget(c_.content, row++, 1);

  c_.card_number = new QComboBox(this);
  c_.card_number->addItems({QStringLiteral("有卡号"), QStringLiteral("无卡号")});
  grid->addWidget(caption_for(QStringLiteral("选择有无卡号："), c_.card_number, this), row, 0, Qt::AlignRight);
  {
    auto* line = new QHBoxLayout;
    line->addWidget(c_.card_number);
    line->addSpacing(16);
    c_.expiry = new QLineEdit(QStringLiteral("2099-11-21"), this);
    line->addWidget(caption_for(QStringLiteral("该卡有效日期："), c_.expiry, this));
    line->addWidget(c_.expiry, 1);
    grid->addLayout(line, row++, 1);
  }

  grid->addWidget(new QLabel(QStringLiteral("欲导入的卡数："), this), row, 0, Qt::AlignRight);
  {
    auto* line = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
      c_.counts[i] = new QCheckBox(QString::fromUtf8(kCountCaptions[i]), this);
      c_.counts[i]->setAccessibleName(c_.counts[i]->text());
      line->addWidget(c_.counts[i]);
      connect(c_.counts[i], &QCheckBox::clicked, this, [this, i] { count_box_clicked(i); });
    }
    line->addStretch();
    grid->addLayout(line, row++, 1);
  }
  c_.counts[2]->setChecked(true);

  c_.pace = new QLineEdit(QStringLiteral("3"), this);
  c_.pace->setMaximumWidth(80);
  grid->addWidget(caption_for(QStringLiteral("设置频率："), c_.pace, this), row, 0, Qt::AlignRight);
  {
    auto* line = new QHBoxLayout;
    line->addWidget(c_.pace);
    line->addWidget(new QLabel(QStringLiteral("s/次"), this));
    line->addStretch();
    grid->addLayout(line, row++, 1);
  }
  grid->setColumnStretch(1, 1);

  c_.instructions[1] = new QLabel(
      QStringLiteral("2、只需输入一张卡的内容即可（即不需要重复输入）\n3、按顺序一行即为一个商品对应的卡密\n"), this);
  outer->addWidget(c_.instructions[1]);

  c_.confirm = new QPushButton(QStringLiteral("确认导卡"), this);
  c_.confirm->setMinimumHeight(34);
  outer->addWidget(c_.confirm);
  c_.progress = new QLabel(this);
  c_.progress->setWordWrap(true);
  outer->addWidget(c_.progress);

  connect(c_.confirm, &QPushButton::clicked, this, &CardWindow::start_import);
  c_.content->viewport()->installEventFilter(this);
  c_.content->installEventFilter(this);
  resize(520, 470);
}

bool CardWindow::eventFilter(QObject* watched, QEvent* event) {
  // The hint goes on a mouse press while the box holds exactly the hint, and comes
  // back when the box is left empty.
  if (watched == c_.content->viewport() && event->type() == QEvent::MouseButtonPress) {
    if (c_.content->toPlainText() == hint_text()) c_.content->clear();
  } else if (watched == c_.content && event->type() == QEvent::FocusOut) {
    if (c_.content->toPlainText().isEmpty()) c_.content->setPlainText(hint_text());
  }
  return ToolWindow::eventFilter(watched, event);
}

void CardWindow::count_box_clicked(int index) {
  // At most one count: the clicked box keeps what the click gave it.
  for (int i = 0; i < 4; ++i)
    if (i != index) c_.counts[i]->setChecked(false);
}

void CardWindow::on_closing() {
  // The browser's input stays as it is: this window takes none, and another tool's run
  // (the template setter's) may hold it.
  page::confirm_web_dialogs(ctx_.main_browser(), platform::kWebMessageTitle, platform::kOkCaption, true);
}

void CardWindow::set_progress(const QString& text) {
  c_.progress->setText(text);
  emit progress_changed(text);
}

void CardWindow::start_import() {
  // One import at a time: the button stays off until the import ends.
  if (running()) return;
  ToolContext& ctx = ctx_;
  QPointer<platform::BrowserView> browser = ctx.main_browser();
  ToolRun run(this, browser);
  page::LivePage& live = ctx.pages().live(page::PageObjects::kLiveCards);

  // 1-3: the confirmer, the button, the import addresses of the page shown.
  page::confirm_web_dialogs(browser, platform::kWebMessageTitle, platform::kOkCaption, false, kConfirmPeriodMs);
  c_.confirm->setEnabled(false);
  live.attach_live_page(browser);
  const std::vector<std::string> addresses = import_addresses(live.get_document_html());
  if (!run.alive()) return;
  const int n = static_cast<int>(addresses.size());
  card_count_ = 0;
  import_text_.clear();
  // The journal: one item per product, keyed by its import address, with the card count
  // sent; the platform's answers to the check and the save land in it.
  QStringList keys;
  for (const std::string& a : addresses) keys << platform::from_gbk(a);
  journal::Run record(ctx.data_dir(), QStringLiteral("[完美]批量导卡"), browser, run_settings(), keys);
  run.report_to(&record, [this](const QString& text) { set_progress(text); });
  auto finish = [&] {
    c_.confirm->setEnabled(true);
    emit import_finished();
  };
  if (n == 0) {
    set_progress(QStringLiteral("当前页面没有找到导卡地址"));
    record.end(journal::Ending::finished);
    return finish();
  }

  // 4: one pass per product. A product whose page does not come is not done (the journal
  // has what came instead) and the next product's navigation starts afresh; the login
  // page ends the import (the runner tells so).
  int not_done = 0;
  for (int m = 1; m <= n; ++m) {
    // Line m is product m's card content; without it the import ends here, in order.
    const std::vector<std::string> lines = card_lines(platform::to_gbk_crlf(c_.content->toPlainText()));
    if (static_cast<std::size_t>(m) > lines.size()) {
      // Whether the platform took them is in the journal, not known here.
      const QString message =
          QStringLiteral("卡密行数少于商品数，已处理前%1个商品，各商品的导入结果见“记录”→“运行记录”").arg(m - 1);
      set_progress(message);
      record.end(journal::Ending::stopped);
      finish();
      platform::show_message(this, message, platform::kTitleHint);
      return;
    }
    record.begin_item(keys[m - 1]);
    const std::string address = ctx.backoffice_address("/" + addresses[static_cast<std::size_t>(m - 1)]);
    const PageMark mark = run.mark();
    ctx.navigate_main(address);
    import_text_.clear();
    set_progress(QStringLiteral("当前页面一共有%1个商品，正在执行第%2个").arg(n).arg(m));
    card_count_ = tools::cards::card_count({c_.counts[0]->isChecked(), c_.counts[1]->isChecked(),
                                            c_.counts[2]->isChecked(), c_.counts[3]->isChecked()},
                                           card_count_);
    record.set_detail(QString::number(card_count_));
    import_text_ = tools::cards::import_text(lines[static_cast<std::size_t>(m - 1)], card_count_);
    const Arrival a = import_product(run, m, address, mark);
    if (a == Arrival::ended) return;
    if (a == Arrival::login_expired) return finish();
    if (a != Arrival::arrived) ++not_done;
  }
  record.end(journal::Ending::finished);
  // Only what the platform answered counts as done.
  if (not_done > 0)
    set_progress(QStringLiteral("当前页面的%1个商品中有%2个未完成，详见“记录”→“运行记录”").arg(n).arg(not_done));
  finish();
}

Arrival CardWindow::import_product(ToolRun& run, int m, const std::string& address, const PageMark& opened) {
  QPointer<platform::BrowserView> browser = ctx_.main_browser();
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kCards);

  // 6-11: product m's own form (never another product's page), filled.
  Arrival a = run.wait_for(kBeforeFillMs, opened, import_form(m, address));
  if (a != Arrival::arrived) return a;
  snap.attach_page(browser);
  snap.set_textarea_text("CardContent", import_text_);
  if (!run.alive()) return Arrival::ended;
  snap.attach_page(browser);
  snap.select_option("IfCardNO", c_.card_number->currentIndex() + 1);
  if (!run.alive()) return Arrival::ended;
  snap.attach_page(browser);
  snap.set_textbox_text("EndTime", platform::to_gbk(c_.expiry->text()));
  if (!run.alive()) return Arrival::ended;
  snap.attach_page(browser);
  snap.uncheck_checkbox("CheckImport1");
  snap.uncheck_checkbox("CheckImport");
  if (!run.wait(kBeforeSubmitMs)) return Arrival::ended;

  // 12-13: the check, the pace (the user's own wait, kept in fast mode too), the checked
  // cards.
  PageMark mark = run.mark();
  snap.attach_page(browser);
  if (!snap.click_button("Submit")) return nothing_to_act_on(run, QStringLiteral("按钮 Submit"));
  if (!run.alive()) return Arrival::ended;
  emit form_button_clicked(QStringLiteral("Submit"));
  if (!run.hold(static_cast<int>(pace_wait_ms(platform::to_gbk(c_.pace->text()))))) return Arrival::ended;
  a = run.wait_for(0, mark, preview(m));
  if (a != Arrival::arrived) return a;

  // 14-16: the save, and the platform's answer before the next product.
  mark = run.mark();
  snap.attach_page(browser);
  if (!snap.click_button("Save")) return nothing_to_act_on(run, QStringLiteral("按钮 Save"));
  if (!run.alive()) return Arrival::ended;
  emit form_button_clicked(QStringLiteral("Save"));
  return run.wait_for(kAfterSaveMs, mark, saved(m));
}

QJsonObject CardWindow::run_settings() const {
  QString count;
  for (auto* box : c_.counts)
    if (box->isChecked()) count = box->text();
  return QJsonObject{
      {"card_number", c_.card_number->currentText()},
      {"expiry", c_.expiry->text()},
      {"card_count", count},
      {"pace", c_.pace->text()},
      {"card_lines", static_cast<int>(card_lines(platform::to_gbk_crlf(c_.content->toPlainText())).size())},
  };
}

}  // namespace tools::cards
