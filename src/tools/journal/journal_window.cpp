#include "tools/journal/journal_window.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

#include "platform/dialogs.h"
#include "tools/common/journal.h"
#include "tools/common/journal_store.h"
#include "tools/common/tool_context.h"
#include "tools/journal/journal_models.h"
#include "tools/publishing/open_publishing.h"
#include "tools/publishing/publishing_window.h"

namespace tools::journal {

namespace {

QPushButton* button(const QString& text) {
  auto* b = new QPushButton(text);
  b->setAccessibleName(text);
  b->setAutoDefault(false);
  return b;
}

QTableView* table(const QString& name, QAbstractItemModel* model) {
  auto* t = new QTableView;
  t->setAccessibleName(name);
  t->setModel(model);
  t->setSelectionBehavior(QAbstractItemView::SelectRows);
  t->setSelectionMode(QAbstractItemView::SingleSelection);
  t->setEditTriggers(QAbstractItemView::NoEditTriggers);
  t->setWordWrap(false);
  t->verticalHeader()->hide();
  // Fixed row heights: no measuring of every row of a long run.
  t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 8);
  t->horizontalHeader()->setStretchLastSection(true);
  return t;
}

std::string utf8(const QString& s) { return s.toStdString(); }

// The summary line: "商品发布成功！ × 3, 商品名称已存在 × 1, 无应答 × 2".
QString summary_line(const std::vector<AnswerGroup>& groups) {
  QStringList parts;
  for (const AnswerGroup& g : groups) {
    const QString answer = g.answer ? cell_text(*g.answer, 60) : QStringLiteral("无应答");
    parts << QStringLiteral("%1 × %2").arg(answer).arg(g.count);
  }
  return parts.join(QStringLiteral(", "));
}

}  // namespace

JournalWindow::JournalWindow(ToolContext& ctx) : QWidget(nullptr), ctx_(ctx) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("运行记录"));
  runs_ = new RunsModel(this);
  items_ = new ItemsModel(this);
  build();
  refresh();
}

JournalWindow::~JournalWindow() = default;

void JournalWindow::build() {
  auto* outer = new QVBoxLayout(this);
  c_.problem = new QLabel;
  c_.problem->setStyleSheet(QStringLiteral("color: #b00000;"));
  c_.problem->setTextInteractionFlags(Qt::TextSelectableByMouse);
  c_.problem->hide();
  outer->addWidget(c_.problem);

  auto* split = new QSplitter(Qt::Vertical);
  outer->addWidget(split, 1);

  auto* top = new QWidget;
  auto* top_column = new QVBoxLayout(top);
  top_column->setContentsMargins(0, 0, 0, 0);
  auto* runs_caption = new QLabel(QStringLiteral("运行："));
  c_.runs = table(QStringLiteral("运行："), runs_);
  runs_caption->setBuddy(c_.runs);
  c_.runs->setColumnWidth(RunsModel::kTool, 130);
  c_.runs->setColumnWidth(RunsModel::kStart, 150);
  c_.runs->setColumnWidth(RunsModel::kDuration, 80);
  c_.runs->setColumnWidth(RunsModel::kItems, 80);
  top_column->addWidget(runs_caption);
  top_column->addWidget(c_.runs);
  c_.run_messages = new QLabel;
  c_.run_messages->setWordWrap(true);
  c_.run_messages->hide();
  top_column->addWidget(c_.run_messages);
  split->addWidget(top);

  auto* bottom = new QWidget;
  auto* column = new QVBoxLayout(bottom);
  column->setContentsMargins(0, 0, 0, 0);
  c_.summary = new QLabel;
  c_.summary->setWordWrap(true);
  c_.summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
  column->addWidget(c_.summary);
  {
    auto* line = new QHBoxLayout;
    auto* caption = new QLabel(QStringLiteral("筛选："));
    c_.filter = new QComboBox;
    c_.filter->setAccessibleName(QStringLiteral("筛选："));
    c_.filter->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    c_.filter->setMinimumContentsLength(30);
    caption->setBuddy(c_.filter);
    line->addWidget(caption);
    line->addWidget(c_.filter, 1);
    column->addLayout(line);
  }
  auto* items_caption = new QLabel(QStringLiteral("条目："));
  c_.items = table(QStringLiteral("条目："), items_);
  items_caption->setBuddy(c_.items);
  c_.items->setColumnWidth(ItemsModel::kOrdinal, 50);
  c_.items->setColumnWidth(ItemsModel::kKey, 180);
  c_.items->setColumnWidth(ItemsModel::kStart, 150);
  c_.items->setColumnWidth(ItemsModel::kDuration, 70);
  c_.items->setColumnWidth(ItemsModel::kAnswer, 200);
  c_.items->setColumnWidth(ItemsModel::kButton, 110);
  column->addWidget(items_caption);
  column->addWidget(c_.items, 3);
  auto* messages_caption = new QLabel(QStringLiteral("平台消息："));
  c_.messages = new QPlainTextEdit;
  c_.messages->setReadOnly(true);
  c_.messages->setAccessibleName(QStringLiteral("平台消息："));
  c_.messages->setMaximumBlockCount(0);
  messages_caption->setBuddy(c_.messages);
  column->addWidget(messages_caption);
  column->addWidget(c_.messages, 1);
  split->addWidget(bottom);
  split->setStretchFactor(0, 2);
  split->setStretchFactor(1, 3);

  auto* buttons = new QHBoxLayout;
  c_.status = new QLabel;
  c_.refresh = button(QStringLiteral("刷新"));
  c_.export_csv = button(QStringLiteral("导出CSV"));
  c_.resume = button(QStringLiteral("继续未完成"));
  buttons->addWidget(c_.status, 1);
  buttons->addWidget(c_.refresh);
  buttons->addWidget(c_.export_csv);
  buttons->addWidget(c_.resume);
  outer->addLayout(buttons);

  connect(c_.runs->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { run_selected(); });
  connect(c_.items->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { item_selected(); });
  connect(c_.filter, &QComboBox::activated, this, &JournalWindow::set_filter);
  connect(c_.refresh, &QPushButton::clicked, this, &JournalWindow::refresh);
  connect(c_.export_csv, &QPushButton::clicked, this, &JournalWindow::choose_export_file);
  connect(c_.resume, &QPushButton::clicked, this, [this] { continue_run(); });
  resize(900, 680);
}

void JournalWindow::refresh() {
  const std::int64_t keep = run_id_;
  QString problem;
  store_.reset();
  const std::string path = journal_file(ctx_.data_dir());
  if (QFileInfo::exists(QString::fromStdString(path))) {
    store_ = shared_store(ctx_.data_dir(), &problem);
    if (!store_) {
      // Refused for recording: show what can still be read, and why runs are not recorded.
      std::string why;
      store_ = Store::open_for_reading(path, &why);
      problem = QStringLiteral("运行记录不可用，新的运行不会被记录：") + problem;
    }
  }
  c_.problem->setText(problem);
  c_.problem->setVisible(!problem.isEmpty());
  runs_->reset(store_);
  run_id_ = 0;
  int row = keep ? runs_->row_of(keep) : -1;
  if (row < 0 && runs_->rowCount() > 0) row = 0;
  select_run(row);
  if (row < 0) run_selected();
}

void JournalWindow::select_run(int row) {
  if (row < 0 || row >= runs_->rowCount()) return;
  c_.runs->setCurrentIndex(runs_->index(row, 0));
  c_.runs->selectRow(row);
  run_selected();
}

void JournalWindow::run_selected() {
  const RunRow* run = runs_->run_at(c_.runs->currentIndex().row());
  const std::int64_t id = run ? run->id : 0;
  if (id == run_id_ && id != 0 && c_.filter->count() > 0) return;
  run_id_ = id;
  answers_.clear();
  c_.filter->clear();
  c_.messages->clear();
  c_.status->clear();
  QStringList outside;
  if (run && store_) {
    c_.filter->addItem(QStringLiteral("全部条目"));
    c_.filter->addItem(QStringLiteral("无应答的条目"));
    const std::vector<AnswerGroup> groups = store_->summary(run->id);
    for (const AnswerGroup& g : groups) {
      if (!g.answer) continue;
      answers_.push_back(*g.answer);
      c_.filter->addItem(QStringLiteral("应答：%1（%2）").arg(cell_text(*g.answer, 60)).arg(g.count));
    }
    c_.summary->setText(groups.empty() ? QStringLiteral("汇总：没有条目") : QStringLiteral("汇总：") + summary_line(groups));
    for (const BoxRow& b : store_->run_boxes(run->id))
      outside << cell_text(b.text, 80) + QStringLiteral(" → ") + answer_text(b);
  } else {
    c_.summary->clear();
  }
  c_.run_messages->setText(outside.isEmpty() ? QString()
                                             : QStringLiteral("条目之外的平台消息：") + outside.join(QStringLiteral("；")));
  c_.run_messages->setVisible(!outside.isEmpty());
  items_->reset(store_, run_id_, ItemFilter{});
  update_resume();
}

void JournalWindow::set_filter(int index) {
  ItemFilter f;
  if (index == 1) {
    f.mode = ItemFilter::Mode::without_answer;
  } else if (index >= 2 && index - 2 < static_cast<int>(answers_.size())) {
    f.mode = ItemFilter::Mode::with_answer;
    f.answer = answers_[static_cast<std::size_t>(index - 2)];
  }
  if (c_.filter->currentIndex() != index && index >= 0 && index < c_.filter->count()) c_.filter->setCurrentIndex(index);
  c_.messages->clear();
  items_->reset(store_, run_id_, f);
}

void JournalWindow::item_selected() {
  const ItemRow* it = items_->item_at(c_.items->currentIndex().row());
  c_.messages->clear();
  if (!it) return;
  QString text;
  for (const BoxRow& b : it->boxes) {
    text += QStringLiteral("[%1 %2] %3\n→ %4\n\n")
                .arg(format_time(b.at_ms), QString::fromStdString(b.kind), QString::fromStdString(b.text),
                     answer_text(b));
  }
  if (text.isEmpty()) text = QStringLiteral("（无应答）");
  c_.messages->setPlainText(text);
}

QStringList JournalWindow::names_to_continue() const {
  if (!store_ || !run_id_) return {};
  const std::optional<RunRow> run = store_->run(run_id_);
  if (!run || QString::fromStdString(run->tool) != kPublishingTool) return {};
  if (runs_->is_live(*run)) return {};
  std::vector<std::string> todo;
  for (const QJsonValue& v : QJsonDocument::fromJson(QByteArray::fromStdString(run->items_json)).array())
    todo.push_back(utf8(v.toString()));
  QStringList out;
  // The names not begun, and those begun but not done.
  for (const std::string& name : not_begun(todo, store_->begun_keys(run_id_, true)))
    out << QString::fromStdString(name);
  return out;
}

void JournalWindow::update_resume() { c_.resume->setEnabled(!names_to_continue().isEmpty()); }

QWidget* JournalWindow::continue_run() {
  const QStringList names = names_to_continue();
  if (names.isEmpty()) return nullptr;
  auto* w = tools::publishing::open_publishing(ctx_);
  QString text = names.join(QLatin1Char('\n'));
  // A line break at the very end adds no name: keep a last empty name.
  if (names.last().isEmpty()) text += QLatin1Char('\n');
  w->controls().names->setPlainText(text);
  w->raise();
  w->activateWindow();
  return w;
}

bool JournalWindow::export_csv(const QString& file, QString* error) {
  if (!store_ || !run_id_) {
    if (error) *error = QStringLiteral("没有选中的运行");
    return false;
  }
  ItemFilter f;
  const int index = c_.filter->currentIndex();
  if (index == 1) {
    f.mode = ItemFilter::Mode::without_answer;
  } else if (index >= 2 && index - 2 < static_cast<int>(answers_.size())) {
    f.mode = ItemFilter::Mode::with_answer;
    f.answer = answers_[static_cast<std::size_t>(index - 2)];
  }
  QSaveFile out(file);
  if (!out.open(QIODevice::WriteOnly)) {
    if (error) *error = out.errorString();
    return false;
  }
  auto write = [&](const std::string& s) { out.write(s.data(), static_cast<qint64>(s.size())); };
  write(kUtf8Bom);
  write(csv_line({"序号", "条目", "开始时间", "结束时间", "用时", "平台应答", "应答按钮", "详情"}));
  std::int64_t rows = 0;
  for (std::int64_t offset = 0;; offset += 1000) {
    const std::vector<ItemRow> page = store_->items(run_id_, f, offset, 1000);
    for (const ItemRow& it : page) {
      QStringList buttons;
      for (const BoxRow& b : it.boxes) buttons << answer_text(b);
      write(csv_line({std::to_string(it.ordinal), it.key, utf8(format_time(it.began_ms)), utf8(format_time(it.ended_ms)),
                      it.ended_ms >= 0 ? utf8(format_duration(it.ended_ms - it.began_ms)) : std::string(),
                      it.answer.value_or(std::string()), utf8(buttons.join(QStringLiteral(" / "))), it.detail}));
      ++rows;
    }
    if (page.size() < 1000) break;
  }
  if (!out.commit()) {
    if (error) *error = out.errorString();
    return false;
  }
  c_.status->setText(QStringLiteral("已导出%1条").arg(rows));
  return true;
}

void JournalWindow::choose_export_file() {
  if (!store_ || !run_id_) return;
  const QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  const QString file = QFileDialog::getSaveFileName(this, QStringLiteral("导出CSV"),
                                                    dir + QStringLiteral("/运行记录%1.csv").arg(run_id_),
                                                    QStringLiteral("CSV (*.csv)"));
  if (file.isEmpty()) return;
  QString error;
  if (!export_csv(file, &error)) platform::show_message(this, QStringLiteral("导出失败：") + error);
}

JournalWindow* open_journal_viewer(ToolContext& ctx) {
  auto* w = new JournalWindow(ctx);
  w->show();
  return w;
}

}  // namespace tools::journal
