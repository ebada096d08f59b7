#include "tools/stock/stock_window.h"

#include <QHBoxLayout>
#include <QJsonObject>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "page/confirmer.h"
#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "tools/common/journal.h"
#include "tools/common/tool_context.h"

namespace tools::stock {

namespace {
constexpr int kConfirmPeriodMs = 700;
constexpr int kAfterSelectMs = 1000;
constexpr int kAfterDeleteMs = 1000;

// The page a pass works on: loaded, with the delete link (the page's SelectAll() goes
// with it).
Expect management_page() {
  return Expect::holding(QStringLiteral("卡密管理页"), {"Del"}, Expect::Since::any);
}

// The page's answer to a deletion: the page at address (where the post-back goes) loaded
// after the click on Del.
Expect deletion_answer(int pass, const QString& address) {
  return Expect::at(QStringLiteral("第%1次删除后的页面").arg(pass), address);
}

// The page shown, loaded (whatever it holds).
Expect loaded_page() { return Expect::holding(QStringLiteral("已载入的页面"), {}, Expect::Since::any); }
}  // namespace

StockDeletionWindow::StockDeletionWindow(ToolContext& ctx) : ToolWindow(ctx), ctx_(ctx) {
  build();
  setWindowTitle(ctx_.main_title() + QStringLiteral("-删除卡密库存"));
  // Window opened: the confirmer runs from here on, also after this window has gone.
  platform::BrowserView* browser = ctx_.main_browser();
  ctx_.pages().snapshot(page::PageObjects::kStockDeletion).attach_page(browser);
  page::confirm_web_dialogs(browser, platform::kWebMessageTitle, platform::kOkCaption, false, kConfirmPeriodMs);
  ctx_.navigate_main(ctx_.backoffice_address(kInventoryPath));
  ctx_.ensure_data_dir();
}

StockDeletionWindow::~StockDeletionWindow() { shut_down(); }

void StockDeletionWindow::build() {
  auto* outer = new QVBoxLayout(this);
  c_.instructions[0] = new QLabel(
      QStringLiteral("1、软件已经将网页自动跳转到“卡密商品库存管理页面”\n\n2、点击网页中的“管理”按钮"), this);
  c_.instructions[1] = new QLabel(QStringLiteral("3、点击“管理”后出现新页面即可开始操作软件"), this);
  c_.picture = new QLabel(this);
  c_.picture->setPixmap(QPixmap(QStringLiteral(":/tessaro/stock/manage.png")));
  c_.picture->setAccessibleName(QStringLiteral("“管理”按钮的位置"));
  outer->addWidget(c_.instructions[0]);
  outer->addWidget(c_.picture);
  outer->addWidget(c_.instructions[1]);

  auto* line = new QHBoxLayout;
  c_.start = new QPushButton(QStringLiteral("开始删除"), this);
  c_.stop = new QPushButton(QStringLiteral("停止删除"), this);
  c_.stop->setEnabled(false);
  for (auto* b : {c_.start, c_.stop}) {
    b->setMinimumHeight(34);
    line->addWidget(b);
  }
  outer->addLayout(line);
  // The status speaks its current text (no fixed name).
  c_.status = new QLabel(this);
  c_.status->setWordWrap(true);
  c_.status->setTextInteractionFlags(Qt::TextSelectableByMouse);
  outer->addWidget(c_.status);
  connect(c_.start, &QPushButton::clicked, this, &StockDeletionWindow::start_deleting);
  connect(c_.stop, &QPushButton::clicked, this, &StockDeletionWindow::stop_deleting);
}

void StockDeletionWindow::set_status(const QString& text) {
  c_.status->setText(text);
  emit status_text_changed(text);
}

void StockDeletionWindow::stop_deleting() {
  c_.start->setEnabled(true);
  c_.stop->setEnabled(false);
  stop_flag_ = kStopFlag;
  restart_ = false;
}

void StockDeletionWindow::start_deleting() {
  if (running()) {
    // A press after "停止删除" while the stopped pass still finishes: the new run follows it.
    if (stop_flag_ == kStopFlag) {
      restart_ = true;
      c_.start->setEnabled(false);
      c_.stop->setEnabled(true);
    }
    return;
  }
  restart_ = false;
  QPointer<platform::BrowserView> browser = ctx_.main_browser();
  ToolRun run(this, browser);
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kStockDeletion);
  c_.start->setEnabled(false);
  c_.stop->setEnabled(true);
  stop_flag_ = 0;
  passes_ = 0;
  // The journal: one item per pass, with the page it worked on; the page's question and
  // answer land in it.
  const QString page_address = browser ? browser->url().toString() : QString();
  journal::Run record(ctx_.data_dir(), QStringLiteral("删除卡密库存"), browser,
                      QJsonObject{{"page", page_address}}, {});
  run.report_to(&record, [this](const QString& text) { set_status(text); });
  run.stop_when([this] { return stop_flag_ == kStopFlag; });

  // How the loop ends (a closed window is left alone). After a stop the buttons show
  // idle already; after the last pass they keep their running state; a run that could not
  // go on gives them back.
  auto finish = [&](journal::Ending how, const QString& text) {
    if (!run.alive()) return;
    record.end(how);
    if (how != journal::Ending::finished && how != journal::Ending::stopped) {
      c_.start->setEnabled(true);
      c_.stop->setEnabled(false);
    }
    if (!text.isEmpty()) set_status(text);
    emit deletion_finished();
    // A start pressed after the stop runs now; after any other ending it would meet the
    // same page.
    const bool restart = restart_ && how == journal::Ending::stopped;
    restart_ = false;
    if (restart) QTimer::singleShot(0, this, &StockDeletionWindow::start_deleting);
  };
  // A page step that ended the loop: the user's stop, an expired login (recorded and told
  // by the runner), the browser gone with the main window, or a page that did not come.
  auto ended_by = [&](Arrival a) {
    switch (a) {
      case Arrival::stopped: return finish(journal::Ending::stopped, QStringLiteral("已停止删除"));
      case Arrival::login_expired: return finish(journal::Ending::login_expired, {});
      case Arrival::ended: return finish(journal::Ending::application_ended, {});
      default:
        return finish(journal::Ending::page_not_ready, QStringLiteral("卡密管理页未就绪，已停止（详见运行记录）"));
    }
  };
  const QString no_delete_link =
      QStringLiteral("页面上没有删除链接 Del，已停止：请先在网页中点击商品的“管理”，打开卡密管理页后再开始");

  // The page's confirmation of each deletion is answered by the confirmer.
  for (int pass = 1; pass <= kMaxPasses; ++pass) {
    passes_ = pass;
    record.begin_item(QStringLiteral("第%1次").arg(pass), browser ? browser->url().toString() : QString());
    emit pass_started(pass);
    set_status(QStringLiteral("正在进行第%1次删除").arg(pass));
    // The management page with its delete link (the page the user opened, or the last
    // pass's answer); a page without it is nothing to act on, and going on would be blind.
    // A page still loading is waited for.
    Arrival a = run.look({}, management_page());
    if (a == Arrival::missing && run.look({}, loaded_page()) == Arrival::arrived) {
      run.nothing_to_act_on(QStringLiteral("删除链接 Del"));
      return finish(journal::Ending::page_not_ready, no_delete_link);
    }
    if (a == Arrival::missing) a = run.wait_for(0, {}, management_page());
    if (a != Arrival::arrived) return ended_by(a);
    snap.attach_page(browser);
    snap.run_script("SelectAll()");
    if (!run.wait(kAfterSelectMs)) return;
    snap.attach_page(browser);
    const QString address = browser ? browser->url().toString() : QString();
    const PageMark mark = run.mark();
    if (!snap.click_link("Del")) {
      if (!run.alive()) return;
      run.nothing_to_act_on(QStringLiteral("删除链接 Del"));
      return finish(journal::Ending::page_not_ready, no_delete_link);
    }
    // The post-back's answer before the next pass; a pass whose answer did not come is not
    // done (the next pass finds the page as it is).
    a = run.wait_for(kAfterDeleteMs, mark, deletion_answer(pass, address));
    if (a == Arrival::stopped) run.not_done(QStringLiteral("已停止：未等到平台的应答页面"));
    else if (a != Arrival::arrived && a != Arrival::missing) return ended_by(a);
    if (stop_flag_ == kStopFlag) return finish(journal::Ending::stopped, QStringLiteral("已停止删除"));
  }
  finish(journal::Ending::finished, QStringLiteral("已完成%1次删除").arg(kMaxPasses));
}

}  // namespace tools::stock
