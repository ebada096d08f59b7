#pragma once
// Table models of the journal viewer: runs and items, read from the journal page by page so
// that long runs stay quick to show.

#include <QAbstractTableModel>
#include <QString>

#include <memory>
#include <vector>

#include "tools/common/journal_store.h"

namespace tools::journal {

inline constexpr int kPageRows = 200;

// "2024-05-01 12:00:00" in local time.
QString format_time(std::int64_t ms);
// "H:MM:SS"; "" for a negative span.
QString format_duration(std::int64_t ms);
// How a run ended, as the viewer shows it ("完成", "已停止", "窗口关闭", "程序退出",
// "进行中", "中断（程序被终止）": a run of a killed process, open or closed at a later start).
QString ending_text(const RunRow& run, bool live);
// One box's answer: "确定（自动）", "取消（用户）", "关闭（用户）", "未应答".
QString answer_text(const BoxRow& box);
// A long or multi-line text shortened for one table cell.
QString cell_text(const std::string& utf8, int max_chars = 200);

class RunsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kTool, kStart, kDuration, kItems, kEnding, kColumnCount };
  explicit RunsModel(QObject* parent = nullptr);

  // Shows the runs of store (null: none), newest first.
  void reset(std::shared_ptr<Store> store);
  const RunRow* run_at(int row) const;
  int row_of(std::int64_t run_id) const;
  bool is_live(const RunRow& run) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  std::shared_ptr<Store> store_;
  std::vector<RunRow> rows_;
  std::vector<char> live_;
  std::int64_t total_ = 0;
};

class ItemsModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kOrdinal, kKey, kStart, kDuration, kAnswer, kButton, kDetail, kColumnCount };
  explicit ItemsModel(QObject* parent = nullptr);

  // Shows the items of run_id that pass filter (store null: none).
  void reset(std::shared_ptr<Store> store, std::int64_t run_id, ItemFilter filter);
  const ItemRow* item_at(int row) const;
  std::int64_t total() const { return total_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  std::shared_ptr<Store> store_;
  std::int64_t run_id_ = 0;
  ItemFilter filter_;
  std::vector<ItemRow> rows_;
  std::int64_t total_ = 0;
};

}  // namespace tools::journal
