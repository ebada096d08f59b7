#pragma once
// "运行记录": the runs of the journal, newest first; the selected run's items with the
// platform's answers, a summary by answer, a filter, CSV export, and "继续未完成" for a
// publishing run that did not finish.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTableView;

namespace tools { class ToolContext; }

namespace tools::journal {

class ItemsModel;
class RunsModel;
class Store;

// Main-window button caption of the publishing tool (the runs "继续未完成" can continue).
inline const QString kPublishingTool = QStringLiteral("自动上架商品");

class JournalWindow : public QWidget {
  Q_OBJECT
 public:
  explicit JournalWindow(ToolContext& ctx);
  ~JournalWindow() override;

  struct Controls {
    QLabel* problem = nullptr;      // why the journal cannot be used (hidden when it can)
    QTableView* runs = nullptr;
    QLabel* run_messages = nullptr; // boxes of the run outside its items
    QLabel* summary = nullptr;
    QComboBox* filter = nullptr;
    QTableView* items = nullptr;
    QPlainTextEdit* messages = nullptr;  // the selected item's boxes in full
    QPushButton* refresh = nullptr;
    QPushButton* export_csv = nullptr;
    QPushButton* resume = nullptr;
    QLabel* status = nullptr;
  };
  const Controls& controls() const { return c_; }
  RunsModel* runs_model() const { return runs_; }
  ItemsModel* items_model() const { return items_; }

  // Reads the journal again (keeps the selected run when it is still there).
  void refresh();
  void select_run(int row);
  // Filter index: 0 all, 1 without answer, 2.. the summary's answers in order.
  void set_filter(int index);
  // The items of the selected run as the filter shows them, as CSV (UTF-8 with BOM).
  bool export_csv(const QString& file, QString* error = nullptr);
  // The names of the selected run not begun, when "继续未完成" applies to it.
  QStringList names_to_continue() const;
  // "继续未完成": the publishing window with those names in its names box.
  QWidget* continue_run();

 private:
  void build();
  void run_selected();
  void item_selected();
  void update_resume();
  void choose_export_file();

  ToolContext& ctx_;
  Controls c_;
  RunsModel* runs_ = nullptr;
  ItemsModel* items_ = nullptr;
  std::shared_ptr<Store> store_;
  std::int64_t run_id_ = 0;
  std::vector<std::string> answers_;  // filter entries after the first two
};

// Menu "记录" → "运行记录": opens the viewer (not modal, no owner).
JournalWindow* open_journal_viewer(ToolContext& ctx);

}  // namespace tools::journal
