#pragma once
// The stock deletion window: on a product's stock management page it selects every card
// and deletes the selection, pass after pass, until the user stops it.

#include "tools/common/tool_window.h"

class QLabel;
class QPushButton;

namespace tools::stock {

inline constexpr const char* kInventoryPath = "/SelfProduct/SelfProductInventory.aspx";
// The loop's limit and the stop flag's value that ends it.
inline constexpr int kMaxPasses = 9999;
inline constexpr int kStopFlag = 5;

class StockDeletionWindow : public ToolWindow {
  Q_OBJECT
 public:
  explicit StockDeletionWindow(ToolContext& ctx);
  ~StockDeletionWindow() override;

  struct Controls {
    QLabel* instructions[2] = {};
    QLabel* picture = nullptr;
    QPushButton* start = nullptr;  // 开始删除
    QPushButton* stop = nullptr;   // 停止删除
    QLabel* status = nullptr;      // the run's progress and how it ended
  };
  const Controls& controls() const { return c_; }
  int stop_flag() const { return stop_flag_; }
  // Deletion passes of the current (or last) run.
  int passes() const { return passes_; }

 signals:
  // A pass began (1-based).
  void pass_started(int pass);
  // The deletion loop ended: stopped, after its last pass, or because the page was not
  // one to act on (not when the window went).
  void deletion_finished();
  // Every status text, in order.
  void status_text_changed(const QString& text);

 public slots:
  void start_deleting();  // "开始删除"
  void stop_deleting();   // "停止删除"

 private:
  void build();
  void set_status(const QString& text);

  ToolContext& ctx_;
  Controls c_;
  int stop_flag_ = 0;
  int passes_ = 0;
  bool restart_ = false;  // "开始删除" pressed while the stopped pass finishes
};

}  // namespace tools::stock
