#pragma once
// The order watch: every 10 seconds it treats every order of the platform's manual order
// list in one batch, with the target status and message chosen in the window.

#include <QDateTime>
#include <QString>

#include <memory>

#include "tools/common/tool_window.h"
#include "tools/orders/order_core.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace tools::journal { class Run; }

namespace tools::orders {

class OrdersWindow : public ToolWindow {
  Q_OBJECT
 public:
  explicit OrdersWindow(ToolContext& ctx);
  ~OrdersWindow() override;

  // The journal's run while watching (null when idle).
  journal::Run* journal_run() const { return journal_.get(); }

  struct Controls {
    QLabel* instruction = nullptr;
    QRadioButton* target[3] = {nullptr, nullptr, nullptr};  // 处理中, 充值成功, 取消充值
    QLineEdit* message = nullptr;                            // 返回信息:
    QPushButton* start = nullptr;                            // 开始监控
    QPushButton* stop = nullptr;                             // 停止监控
    QLabel* interval_note = nullptr;
    QLabel* status = nullptr;                                // how the last cycle went
  };
  const Controls& controls() const { return c_; }
  QTimer* timer() const { return timer_; }
  bool cycle_running() const { return in_cycle_; }
  int cycles() const { return cycles_; }
  int skipped_ticks() const { return skipped_; }

 signals:
  // A cycle began (its time) and ended (check boxes ticked): its last click was made.
  void cycle_started(const QDateTime& at);
  void cycle_finished(int ticked);
  // Every text of the status line, in order.
  void status_text_changed(const QString& text);

 public slots:
  void start_watch();  // "开始监控"
  void stop_watch();   // "停止监控"
  void tick();         // the timer

 protected:
  void on_closing() override;

 private:
  void build();
  void run_cycle();
  // The watch ends by itself (the login page, no order list to work on): idle again.
  void end_watch();
  void set_status(const QString& text);
  // Ends the journal's run (if any) and opens the next one.
  void open_run();
  // The target status chosen in the window.
  Target target() const;

  ToolContext& ctx_;
  Controls c_;
  QTimer* timer_ = nullptr;
  bool in_cycle_ = false;
  bool stop_pending_ = false;  // "停止监控" during a cycle: its journal run ends with it
  bool new_run_pending_ = false;  // "开始监控" during a cycle: the next cycle opens the new run
  // The journal's run: from "开始监控" to "停止监控" (or the close), one item per cycle.
  std::unique_ptr<journal::Run> journal_;
  int cycles_ = 0;
  int skipped_ = 0;
};

}  // namespace tools::orders
