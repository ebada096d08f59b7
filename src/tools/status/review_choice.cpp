#include "tools/status/review_choice.h"

#include <QLabel>
#include <QVBoxLayout>

#include "page/page_objects.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "tools/common/tool_context.h"
#include "tools/common/tool_window.h"

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

ReviewChoice::ReviewChoice(ToolContext& ctx, QWidget* owner, const QString& title)
    : QDialog(nullptr), ctx_(ctx), owner_(owner) {
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
  // The owner's going ends the wait; the dialog is the run's own and is still there.
  switched_ = true;
  ToolRun run(owner_.data());
  page::PageSnapshot& snap = ctx_.pages().snapshot(page::PageObjects::kStatus);
  if (owner_) {
    snap.attach_page(ctx_.main_browser());
    snap.click_link("lbtn22");
    run.wait(kAfterSwitchMs);
  }
  accept();
}

void ReviewChoice::choose_reviewed() { accept(); }

}  // namespace tools::status
