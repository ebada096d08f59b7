#include "tools/complaints/template_editor.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "tools/common/tool_context.h"
#include "tools/complaints/complaint_window.h"

namespace tools::complaints {

TemplateEditor::TemplateEditor(ToolContext& ctx, ComplaintWindow* complaints)
    : QDialog(complaints), complaints_(complaints) {
  setWindowTitle(ctx.main_title() + QStringLiteral("-编辑快捷回复"));
  setModal(true);
  auto* outer = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  outer->addLayout(grid, 1);
  for (int n = 1; n <= kTemplateCount; ++n) {
    const QString caption = QStringLiteral("%1、").arg(n);
    auto* box = new QPlainTextEdit(this);
    box->setTabChangesFocus(true);
    box->setAccessibleName(caption);
    box->setMinimumSize(260, 60);
    auto* label = new QLabel(caption, this);
    label->setBuddy(box);
    const int row = (n - 1) / 2, column = ((n - 1) % 2) * 2;
    grid->addWidget(label, row, column, Qt::AlignTop | Qt::AlignRight);
    grid->addWidget(box, row, column + 1);
    boxes_[static_cast<std::size_t>(n - 1)] = box;
  }
  auto* line = new QHBoxLayout;
  save_ = new QPushButton(QStringLiteral("保存"), this);
  cancel_ = new QPushButton(QStringLiteral("取消"), this);
  save_->setAutoDefault(false);
  cancel_->setAutoDefault(false);
  line->addStretch();
  line->addWidget(save_);
  line->addWidget(cancel_);
  outer->addLayout(line);
  connect(save_, &QPushButton::clicked, this, &TemplateEditor::save);
  connect(cancel_, &QPushButton::clicked, this, &TemplateEditor::cancel);

  // 1. The complaint window's current templates; the data directory again.
  ctx.ensure_data_dir();
  if (complaints_) {
    const Templates& t = complaints_->templates();
    for (int n = 1; n <= kTemplateCount; ++n) {
      QString s = platform::from_gbk(t[static_cast<std::size_t>(n - 1)]);
      s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
      box(n)->setPlainText(s);
    }
  }
  resize(640, 620);
}

void TemplateEditor::save() {
  Templates t;
  for (int n = 1; n <= kTemplateCount; ++n)
    t[static_cast<std::size_t>(n - 1)] = platform::to_gbk_crlf(box(n)->toPlainText());
  // A template holding a marker would not read back as written: refuse, keep the file.
  if (const MarkerClash clash = find_marker_clash(t); clash.template_no != 0) {
    const QString marker = QStringLiteral("[%1]").arg(clash.marker_no);
    platform::show_message(this,
                           QStringLiteral("第%1个模板中含有标记“%2”，保存后无法正确读出，请修改后再保存。")
                               .arg(clash.template_no)
                               .arg(marker),
                           platform::kTitleHint);
    box(clash.template_no)->setFocus();
    return;
  }
  QPointer<TemplateEditor> self = this;
  if (!complaints_ || !complaints_->save_templates(t, this)) return;
  if (!self) return;
  leaving_ = true;
  accept();
}

void TemplateEditor::cancel() {
  QPointer<TemplateEditor> self = this;
  const bool yes = platform::ask_yes_no(this, QStringLiteral("是否取消保存？"), QStringLiteral("提示"));
  if (!self || !yes) return;
  leaving_ = true;
  QDialog::reject();
}

void TemplateEditor::reject() {
  if (leaving_) {
    QDialog::reject();
    return;
  }
  cancel();
}

void TemplateEditor::closeEvent(QCloseEvent* event) {
  if (leaving_) {
    event->accept();
    return;
  }
  event->ignore();
  cancel();
}

}  // namespace tools::complaints
