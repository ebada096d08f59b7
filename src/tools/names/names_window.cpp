#include "tools/names/names_window.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/gbk.h"
#include "settings/settings.h"
#include "text/text.h"
#include "tools/common/tool_context.h"
#include "tools/names/name_ops.h"

namespace tools::names {

namespace {

QLabel* caption(const QString& text, QWidget* buddy = nullptr) {
  auto* label = new QLabel(text);
  if (buddy) label->setBuddy(buddy);
  return label;
}

QLineEdit* input(const QString& name, const char* object_name, int width = 0) {
  auto* edit = new QLineEdit;
  edit->setAccessibleName(name);
  edit->setObjectName(QString::fromLatin1(object_name));
  if (width > 0) edit->setFixedWidth(width);
  return edit;
}

// Several buttons share the caption "确认": each is named by its caption and
// described by the caption of its row, which a screen reader reads after the name.
QPushButton* button(const QString& text, const QString& row, const char* object_name) {
  auto* b = new QPushButton(text);
  b->setAccessibleName(text);
  if (!row.isEmpty()) b->setAccessibleDescription(row);
  b->setObjectName(QString::fromLatin1(object_name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

NamesWindow::NamesWindow(ToolContext& ctx, QWidget* parent)
    : QWidget(parent), configure_path_(ctx.data_file(settings::kConfigure)) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(ctx.main_title() + QStringLiteral("-商品名字批量编辑"));
  ctx.ensure_data_dir();

  const QString ok = QStringLiteral("确认");
  const QString prefix_row = QStringLiteral("在每一行的最前面添加");
  const QString number_row = QStringLiteral("每行添加序号");
  const QString empty_row = QStringLiteral("删除全部空行");
  const QString reverse_row = QStringLiteral("将行序全部颠倒");
  const QString first_row = QStringLiteral("将每一行的第一个字符换成");
  const QString keyword_caption = QStringLiteral("欲剔除的文本关键字:(若有多个,请以|为分隔符)");

  main_ = new QPlainTextEdit;
  main_->setObjectName(QStringLiteral("mainText"));
  main_->setAccessibleName(QStringLiteral("数据文本"));
  main_->setLineWrapMode(QPlainTextEdit::NoWrap);
  main_->setMinimumSize(360, 420);

  prefix_ = input(prefix_row, "prefixEdit", 160);
  start_ = input(QStringLiteral("开始"), "startEdit", 60);
  first_char_ = input(first_row, "firstCharEdit", 100);
  find_ = input(QStringLiteral("查找内容"), "findEdit", 120);
  replacement_ = input(QStringLiteral("修改为"), "replacementEdit", 120);
  count_ = input(QStringLiteral("替换次数"), "countEdit", 60);
  case_sensitive_ = new QCheckBox(QStringLiteral("区分大小写"));
  case_sensitive_->setObjectName(QStringLiteral("caseCheck"));
  case_sensitive_->setAccessibleName(QStringLiteral("区分大小写"));
  keywords_ = input(keyword_caption, "keywordEdit");

  auto* dedup = button(QStringLiteral("去重复"), QString(), "dedupButton");
  auto* prefix_ok = button(ok, prefix_row, "prefixButton");
  auto* number_ok = button(ok, number_row, "numberButton");
  auto* empty_ok = button(ok, empty_row, "emptyButton");
  auto* reverse_ok = button(ok, reverse_row, "reverseButton");
  auto* first_ok = button(ok, first_row, "firstCharButton");
  auto* replace_ok = button(ok, QStringLiteral("替换次数"), "replaceButton");
  auto* strip = button(QStringLiteral("修改"), keyword_caption, "stripButton");

  status_ = new QLabel(QStringLiteral("状态:等待执行"));
  status_->setObjectName(QStringLiteral("statusLabel"));

  auto* ops = new QGridLayout;
  int row = 0;
  ops->addWidget(dedup, row++, 0, 1, 1, Qt::AlignLeft);

  auto* r1 = new QHBoxLayout;
  r1->addWidget(caption(prefix_row, prefix_));
  r1->addWidget(prefix_);
  r1->addWidget(prefix_ok);
  r1->addStretch();
  ops->addLayout(r1, row++, 0);

  auto* r2 = new QHBoxLayout;
  r2->addWidget(caption(number_row));
  r2->addWidget(caption(QStringLiteral("开始"), start_));
  r2->addWidget(start_);
  r2->addWidget(number_ok);
  r2->addStretch();
  ops->addLayout(r2, row++, 0);

  auto* r3 = new QHBoxLayout;
  r3->addWidget(caption(empty_row));
  r3->addWidget(empty_ok);
  r3->addStretch();
  ops->addLayout(r3, row++, 0);

  auto* r4 = new QHBoxLayout;
  r4->addWidget(caption(reverse_row));
  r4->addWidget(reverse_ok);
  r4->addStretch();
  ops->addLayout(r4, row++, 0);

  auto* r5 = new QHBoxLayout;
  r5->addWidget(caption(first_row, first_char_));
  r5->addWidget(first_char_);
  r5->addWidget(first_ok);
  r5->addStretch();
  ops->addLayout(r5, row++, 0);

  auto* r6 = new QHBoxLayout;
  r6->addWidget(find_);
  r6->addWidget(caption(QStringLiteral("修改为"), replacement_));
  r6->addWidget(replacement_);
  r6->addStretch();
  ops->addLayout(r6, row++, 0);

  auto* r7 = new QHBoxLayout;
  r7->addWidget(caption(QStringLiteral("替换次数"), count_));
  r7->addWidget(count_);
  r7->addWidget(case_sensitive_);
  r7->addWidget(replace_ok);
  r7->addStretch();
  ops->addLayout(r7, row++, 0);

  ops->addWidget(caption(keyword_caption, keywords_), row++, 0);
  auto* r8 = new QHBoxLayout;
  r8->addWidget(keywords_);
  r8->addWidget(strip);
  ops->addLayout(r8, row++, 0);
  ops->setRowStretch(row++, 1);
  ops->addWidget(status_, row++, 0);

  auto* top = new QHBoxLayout(this);
  top->addWidget(main_, 1);
  top->addLayout(ops);

  connect(dedup, &QPushButton::clicked, this, &NamesWindow::on_remove_duplicates);
  connect(prefix_ok, &QPushButton::clicked, this, &NamesWindow::on_add_prefix);
  connect(number_ok, &QPushButton::clicked, this, &NamesWindow::on_number_lines);
  connect(empty_ok, &QPushButton::clicked, this, &NamesWindow::on_delete_empty_lines);
  connect(reverse_ok, &QPushButton::clicked, this, &NamesWindow::on_reverse);
  connect(first_ok, &QPushButton::clicked, this, &NamesWindow::on_replace_first_char);
  connect(replace_ok, &QPushButton::clicked, this, &NamesWindow::on_replace_text);
  connect(strip, &QPushButton::clicked, this, &NamesWindow::on_strip_keywords);
  connect(case_sensitive_, &QCheckBox::clicked, this, &NamesWindow::on_case_clicked);
}

std::string NamesWindow::main_text() const { return platform::to_gbk_crlf(main_->toPlainText()); }

void NamesWindow::set_main_text(const std::string& gbk) {
  // Set once as a whole: the box lays out lazily, so 100,000 lines cost one pass.
  main_->setPlainText(platform::from_gbk(gbk));
}

void NamesWindow::on_remove_duplicates() {
  const DedupResult r = remove_duplicates(main_text());
  // The status is the one after the last line; with no line it is left as it was.
  if (r.lines > 0) status_->setText(platform::from_gbk(dedup_status(r.lines, r.kept)));
  set_main_text(r.text);
}

void NamesWindow::on_add_prefix() {
  set_main_text(add_prefix(main_text(), platform::to_gbk(prefix_->text())));
}

void NamesWindow::on_number_lines() {
  set_main_text(number_lines(main_text(), platform::to_gbk(start_->text())));
}

void NamesWindow::on_delete_empty_lines() { set_main_text(delete_empty_lines(main_text())); }

void NamesWindow::on_reverse() { set_main_text(reverse_lines(main_text())); }

void NamesWindow::on_replace_first_char() {
  set_main_text(replace_first_chars(main_text(), platform::to_gbk(first_char_->text()),
                                    first_char_state()));
}

void NamesWindow::on_replace_text() {
  set_main_text(replace_text(main_text(), platform::to_gbk(find_->text()),
                             platform::to_gbk(replacement_->text()),
                             platform::to_gbk(count_->text()), case_sensitive_->isChecked()));
}

void NamesWindow::on_strip_keywords() {
  set_main_text(strip_keywords(main_text(), platform::to_gbk(keywords_->text())));
}

void NamesWindow::on_case_clicked(bool checked) {
  static const std::string key = text::utf8_to_gbk("区分大小写");
  static const std::string yes = text::utf8_to_gbk("真");
  static const std::string no = text::utf8_to_gbk("假");
  settings::write_key(configure_path_, key, checked ? yes : no);
}

}  // namespace tools::names
