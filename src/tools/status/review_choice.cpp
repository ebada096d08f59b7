#include "tools/status/review_choice.h"

#include <QLabel>
#include <QVBoxLayout>

#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "tools/common/tool_context.h"
#include "tools/common/tool_window.h"
#include "tools/status/bulk_status_core.h"

namespace tools::status {

namespace {

constexpr int kAfterSwitchMs = 1500;

QLabel* link(const QString& text, QWidget* parent) {
  auto* label = new QLabel(QStringLiteral("<a href=\"choose\">%1</a>").arg(text.toHtmlEscaped()), parent);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  label->setAccessibleName(text);
  label->setAlignment(Qt::AlignCenter);
  return label;
}

}  // namespace

Expect product_list(const QString& page) { return Expect::at(page, QString::fromLatin1(kListPath)); }

ReviewChoice::ReviewChoice(ToolContext& ctx, QWidget* owner, const QString& title, const PageMark& before_list)
    : QDialog(nullptr), ctx_(ctx), owner_(owner), before_list_(before_list) {
  setWindowTitle(title);
  setModal(true);
  auto* column = new QVBoxLayout(this);
  unreviewed_ = link(QStringLiteral("销售/暂停/禁售未审核通过的商品"), this);
  reviewed_ = link(QStringLiteral("销售/暂停/禁售审核通过的商品"), this);
  column->addWidget(unreviewed_);
  column->addWidget(reviewed_);
  connect(unreviewed_, &QLabel::linkActivated, this, &ReviewChoice::choose_unreviewed);
  connect(reviewed_, &QLabel::linkActivated, this, &ReviewChoice::choose_reviewed);
  // The run's window going closes the choice: the run then ends.
  if (owner) connect(owner, &QObject::destroyed, this, &QDialog::reject);
  resize(360, 120);
}

void ReviewChoice::choose_unreviewed() {
  // The owner's going ends the waits; the dialog is the run's own and is still there.
  switched_ = true;
  ToolRun run(owner_.data(), ctx_.main_browser());
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kStatus);
  // The list the press navigated to, then the tab, then the list it reloads.
  arrival_ = run.wait_for(0, before_list_, product_list(QStringLiteral("商品列表")));
  if (arrival_ == Arrival::arrived) {
    snap.attach_page(ctx_.main_browser());
    const PageMark mark = run.mark();
    if (!snap.click_link("lbtn22")) {
      run.nothing_to_act_on(QStringLiteral("“未审核通过的商品”链接 lbtn22"));
      arrival_ = run.alive() ? Arrival::missing : Arrival::ended;
    } else {
      arrival_ = run.wait_for(kAfterSwitchMs, mark, product_list(QStringLiteral("未审核通过的商品列表")));
    }
  }
  problem_ = run.last_problem();
  accept();
}

void ReviewChoice::choose_reviewed() { accept(); }

}  // namespace tools::status
