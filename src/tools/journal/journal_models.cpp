#include "tools/journal/journal_models.h"

#include <QDateTime>

#include "tools/common/journal.h"

namespace tools::journal {

QString format_time(std::int64_t ms) {
  if (ms < 0) return {};
  return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString format_duration(std::int64_t ms) {
  if (ms < 0) return {};
  const std::int64_t s = ms / 1000;
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600)
      .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString ending_text(const RunRow& run, bool live) {
  const auto base = [&] {
    if (run.ending == "finished") return QStringLiteral("完成");
    if (run.ending == "stopped") return QStringLiteral("已停止");
    if (run.ending == "window_closed") return QStringLiteral("窗口关闭");
    // Closed at a later start: its process was killed, when is not known.
    if (run.ending == "application_ended")
      return run.ended_ms >= 0 ? QStringLiteral("程序退出") : QStringLiteral("中断（程序被终止）");
    if (run.ending == "login_expired") return QStringLiteral("登录已失效");
    if (run.ending == "page_not_ready") return QStringLiteral("页面未就绪，已停止");
    if (run.ending.empty()) return live ? QStringLiteral("进行中") : QStringLiteral("中断（程序被终止）");
    return QString::fromStdString(run.ending);
  };
  // A run whose recording stopped holds only what was recorded before.
  return run.gap ? base() + QStringLiteral("（记录不完整）") : base();
}

QString answer_text(const BoxRow& box) {
  if (!box.answered) return QStringLiteral("未应答");
  const QString who = box.by_confirmer ? QStringLiteral("自动") : QStringLiteral("用户");
  const QString button = box.button.empty() ? QStringLiteral("关闭") : QString::fromStdString(box.button);
  return button + QStringLiteral("（") + who + QStringLiteral("）");
}

QString cell_text(const std::string& utf8, int max_chars) {
  // Only the start of a long text is converted.
  const std::size_t bytes = std::min<std::size_t>(utf8.size(), static_cast<std::size_t>(max_chars) * 4 + 4);
  QString t = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(bytes));
  const bool cut = bytes < utf8.size() || t.size() > max_chars;
  if (t.size() > max_chars) t.truncate(max_chars);
  t.replace(QLatin1String("\r\n"), QLatin1String(" "));
  t.replace(QLatin1Char('\n'), QLatin1Char(' '));
  t.replace(QLatin1Char('\r'), QLatin1Char(' '));
  if (cut) t += QStringLiteral("…");
  return t;
}

// ---------------------------------------------------------------------------------------

RunsModel::RunsModel(QObject* parent) : QAbstractTableModel(parent) {}

void RunsModel::reset(std::shared_ptr<Store> store) {
  beginResetModel();
  store_ = std::move(store);
  rows_.clear();
  live_.clear();
  total_ = store_ ? store_->run_count() : 0;
  endResetModel();
  if (canFetchMore({})) fetchMore({});
}

const RunRow* RunsModel::run_at(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[static_cast<std::size_t>(row)] : nullptr;
}

int RunsModel::row_of(std::int64_t run_id) const {
  for (std::size_t i = 0; i < rows_.size(); ++i)
    if (rows_[i].id == run_id) return static_cast<int>(i);
  return -1;
}

bool RunsModel::is_live(const RunRow& run) const {
  return run.ending.empty() && store_ && run_is_open(run.id, store_->path());
}

int RunsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int RunsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant RunsModel::data(const QModelIndex& index, int role) const {
  const RunRow* r = run_at(index.row());
  if (!r || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  const bool live = live_[static_cast<std::size_t>(index.row())] != 0;
  switch (index.column()) {
    case kTool: return QString::fromStdString(r->tool);
    case kStart: return format_time(r->started_ms);
    case kDuration: {
      const std::int64_t end = r->ended_ms >= 0 ? r->ended_ms : r->last_ms;
      return format_duration(end - r->started_ms);
    }
    case kItems: {
      // Items begun, of the list to do when the tool knew it.
      if (r->items_todo > 0) return QStringLiteral("%1/%2").arg(r->items_begun).arg(r->items_todo);
      return QString::number(r->items_begun);
    }
    case kEnding: return ending_text(*r, live);
  }
  return {};
}

QVariant RunsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const names[kColumnCount] = {"工具", "开始时间", "用时", "条目", "结束方式"};
  return section >= 0 && section < kColumnCount ? QString::fromUtf8(names[section]) : QVariant();
}

bool RunsModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && store_ && static_cast<std::int64_t>(rows_.size()) < total_;
}

void RunsModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  std::vector<RunRow> page = store_->runs(static_cast<std::int64_t>(rows_.size()), kPageRows);
  if (page.empty()) {
    total_ = static_cast<std::int64_t>(rows_.size());
    return;
  }
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
  for (RunRow& r : page) {
    live_.push_back(r.ending.empty() && run_is_open(r.id, store_->path()) ? 1 : 0);
    rows_.push_back(std::move(r));
  }
  endInsertRows();
}

// ---------------------------------------------------------------------------------------

ItemsModel::ItemsModel(QObject* parent) : QAbstractTableModel(parent) {}

void ItemsModel::reset(std::shared_ptr<Store> store, std::int64_t run_id, ItemFilter filter) {
  beginResetModel();
  store_ = std::move(store);
  run_id_ = run_id;
  filter_ = std::move(filter);
  rows_.clear();
  total_ = store_ ? store_->item_count(run_id_, filter_) : 0;
  endResetModel();
  if (canFetchMore({})) fetchMore({});
}

const ItemRow* ItemsModel::item_at(int row) const {
  return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[static_cast<std::size_t>(row)] : nullptr;
}

int ItemsModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ItemsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant ItemsModel::data(const QModelIndex& index, int role) const {
  const ItemRow* it = item_at(index.row());
  if (!it || (role != Qt::DisplayRole && role != Qt::ToolTipRole)) return {};
  const int limit = role == Qt::ToolTipRole ? 2000 : 200;
  switch (index.column()) {
    case kOrdinal: return QString::number(it->ordinal);
    case kKey:
      return it->repeats > 1 ? cell_text(it->key, limit) + QStringLiteral(" ×%1").arg(it->repeats)
                             : cell_text(it->key, limit);
    case kStart: return format_time(it->began_ms);
    case kDuration: return it->ended_ms >= 0 ? format_duration(it->ended_ms - it->began_ms) : QString();
    case kAnswer: {
      const QString answer = it->answer ? cell_text(*it->answer, limit) : QStringLiteral("（无应答）");
      if (!it->problem) return answer;
      return QStringLiteral("未完成：") + cell_text(*it->problem, limit) +
             (it->answer ? QStringLiteral(" / ") + answer : QString());
    }
    case kButton: {
      QStringList parts;
      for (const BoxRow& b : it->boxes) parts << answer_text(b);
      return parts.join(QStringLiteral(" / "));
    }
    case kDetail: return cell_text(it->detail, limit);
  }
  return {};
}

QVariant ItemsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const names[kColumnCount] = {"序号", "条目", "开始时间", "用时", "平台应答", "应答按钮", "详情"};
  return section >= 0 && section < kColumnCount ? QString::fromUtf8(names[section]) : QVariant();
}

bool ItemsModel::canFetchMore(const QModelIndex& parent) const {
  return !parent.isValid() && store_ && static_cast<std::int64_t>(rows_.size()) < total_;
}

void ItemsModel::fetchMore(const QModelIndex& parent) {
  if (!canFetchMore(parent)) return;
  std::vector<ItemRow> page = store_->items(run_id_, filter_, static_cast<std::int64_t>(rows_.size()), kPageRows);
  if (page.empty()) {
    total_ = static_cast<std::int64_t>(rows_.size());
    return;
  }
  const int first = static_cast<int>(rows_.size());
  beginInsertRows({}, first, first + static_cast<int>(page.size()) - 1);
  for (ItemRow& r : page) rows_.push_back(std::move(r));
  endInsertRows();
}

}  // namespace tools::journal
