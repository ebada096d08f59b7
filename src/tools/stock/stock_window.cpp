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
  connect(c_.start, &QPushButton::clicked, this, &StockDeletionWindow::start_deleting);
  connect(c_.stop, &QPushButton::clicked, this, &StockDeletionWindow::stop_deleting);
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
  // The page's confirmation of each deletion is answered by the confirmer.
  for (int pass = 1; pass <= kMaxPasses; ++pass) {
    passes_ = pass;
    record.begin_item(QStringLiteral("第%1次").arg(pass), browser ? browser->url().toString() : QString());
    emit pass_started(pass);
    snap.attach_page(browser);
    snap.run_script("SelectAll()");
    if (!run.wait(kAfterSelectMs)) return;
    snap.attach_page(browser);
    snap.click_link("Del");
    if (!run.wait(kAfterDeleteMs)) return;
    if (stop_flag_ == kStopFlag) {
      record.end(journal::Ending::stopped);
      break;
    }
  }
  record.end(journal::Ending::finished);  // after 9999 passes (no effect after a stop)
  // After the last pass the buttons keep their running state, as after a stop they
  // already show idle.
  emit deletion_finished();
  if (restart_) {
    restart_ = false;
    QTimer::singleShot(0, this, &StockDeletionWindow::start_deleting);
  }
}

}  // namespace tools::stock
