#include "tools/publishing/catalogue_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "page/page_objects.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "tools/common/tool_context.h"
#include "tools/publishing/publishing_core.h"

namespace tools::publishing {

CatalogueWindow::CatalogueWindow(ToolContext& ctx, QWidget* parent) : QWidget(parent), ctx_(ctx) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlag(Qt::Window);
  setWindowTitle(ctx_.main_title() + QStringLiteral("-获取商品目录编号"));
  auto* layout = new QVBoxLayout(this);
  auto* hint = new QLabel(QStringLiteral("务必确认此时您已经将页面跳转到发布商品界面！"), this);
  QPalette p = hint->palette();
  p.setColor(QPalette::WindowText, Qt::red);
  hint->setPalette(p);
  layout->addWidget(hint);
  listing_ = new QPlainTextEdit(this);
  listing_->setReadOnly(true);
  listing_->setAccessibleName(QStringLiteral("商品目录编号"));
  layout->addWidget(listing_, 1);
  auto* line = new QHBoxLayout;
  line->addWidget(new QLabel(QStringLiteral("关键字:"), this));
  keyword_ = new QLineEdit(this);
  keyword_->setAccessibleName(QStringLiteral("关键字:"));
  line->addWidget(keyword_, 1);
  search_button_ = new QPushButton(QStringLiteral("搜索"), this);
  search_button_->setAccessibleName(search_button_->text());
  line->addWidget(search_button_);
  refresh_button_ = new QPushButton(QStringLiteral("刷新获取编号"), this);
  refresh_button_->setAccessibleName(refresh_button_->text());
  line->addWidget(refresh_button_);
  layout->addLayout(line);
  connect(refresh_button_, &QPushButton::clicked, this, &CatalogueWindow::refresh);
  connect(search_button_, &QPushButton::clicked, this, &CatalogueWindow::search);
  connect(keyword_, &QLineEdit::returnPressed, this, &CatalogueWindow::search);
  resize(460, 520);
  refresh();
}

void CatalogueWindow::refresh() {
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kCatalogue);
  snap.attach_page(ctx_.main_browser());
  listing_->clear();
  const std::string listing = catalogue_listing(snap.get_table_text("1", 1));
  QString shown = platform::from_gbk(listing);
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  listing_->setPlainText(shown);
}

void CatalogueWindow::search() {
  const std::string listing = platform::to_gbk_crlf(listing_->toPlainText());
  const auto line = find_listing_line(listing, platform::to_gbk(keyword_->text()));
  if (line) {
    platform::show_message(this, platform::from_gbk(*line));
  } else {
    platform::show_message(this, QStringLiteral("亲，找不到该关键字啊！"));
  }
}

}  // namespace tools::publishing
