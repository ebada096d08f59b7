#pragma once
// The pricing window: regional stock, purchase price and one level price for every
// product row of the list shown in the main browser, 19 rows a page, to the list's end.

#include <QString>

#include "tools/common/tool_window.h"
#include "tools/pricing/pricing_core.h"

class QComboBox;
class QJsonObject;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tools::pricing {

inline constexpr const char* kStockLink = "增加地区库存";
inline constexpr const char* kConfirmAdd = "确认添加";
inline constexpr const char* kPager = "AspNetPager1_input";
// The alert that the main window's button raises in the main browser.
inline constexpr const char* kReviewAlert = "注意：请注意将网页浏览框页面调到【未通过审核的商品】";

class PricingWindow : public ToolWindow {
  Q_OBJECT
 public:
  explicit PricingWindow(ToolContext& ctx);
  ~PricingWindow() override;

  struct Controls {
    QLineEdit* purchase = nullptr;    // 进价：
    QComboBox* mode = nullptr;        // 自动填写：
    QLineEdit* addition = nullptr;    // 按直接累加递增 (元)
    QLineEdit* purchase_discount = nullptr;    // 按进价折扣递增 (%)
    QLineEdit* face_value_discount = nullptr;  // 按面值折扣递增 (%)
    QPushButton* start = nullptr;     // 确认定价
    QPushButton* stop = nullptr;      // 停止定价
    QLabel* status = nullptr;         // the run's status line
  };
  const Controls& controls() const { return c_; }

  // The run's row count and where it stands on the list.
  int row_count() const { return count_; }
  const RowCursor& cursor() const { return cursor_; }

 signals:
  // A row's steps begin: its row number on the page (1-19) and the page's number.
  void row_started(int row, int page);
  // The run returned (the list's end, stopped, 10000 rows, a page that did not come, or
  // the window went).
  void run_finished();
  // Every text of the status line, in order.
  void status_text_changed(const QString& text);

 public slots:
  void start_run();  // "确认定价"
  void stop_run();   // "停止定价"

 protected:
  // Stops the web message-box confirmer of the main browser; a run ends at its next step.
  void on_closing() override;

 private:
  void build();
  QJsonObject run_settings() const;
  int current_page();
  void set_status(const QString& text);

  ToolContext& ctx_;
  Controls c_;
  int count_ = 0;
  RowCursor cursor_;
  bool restart_ = false;  // "确认定价" after a stop, while the stopped row finishes
  bool ended_ = false;    // closing work done: no further step
};

}  // namespace tools::pricing
