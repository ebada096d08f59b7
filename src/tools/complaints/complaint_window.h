#pragma once
// The complaint window: answers the platform's open complaints one after another with a
// reply picked from twelve templates or typed, in the browser window's browser.

#include <QPointer>
#include <QString>

#include <memory>
#include <string>
#include <vector>

#include "tools/common/tool_window.h"
#include "tools/complaints/complaint_core.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tools::journal { class Run; }

namespace tools::complaints {

class OrderInfoWindow;

class ComplaintWindow : public ToolWindow {
  Q_OBJECT
 public:
  // main_button: the main window's "投诉批量处理" (may be null).
  ComplaintWindow(ToolContext& ctx, QPushButton* main_button);
  ~ComplaintWindow() override;

  struct Controls {
    QPlainTextEdit* details = nullptr;  // 主题详情：
    QPlainTextEdit* reply = nullptr;    // 内容：
    QComboBox* phrases = nullptr;       // 选择快捷词：
    QPushButton* edit = nullptr;        // 编辑/添加
    QCheckBox* current = nullptr;       // 该回复内容处理当前投诉
    QCheckBox* all = nullptr;           // 该回复内容处理全部投诉
    QPushButton* process = nullptr;     // 处理（F1）
    QPushButton* order_lookup = nullptr;  // 查询订单信息
    QLabel* hint = nullptr;             // status bar, first field
    QLabel* progress = nullptr;         // status bar, second field
  };
  const Controls& controls() const { return c_; }

  const Templates& templates() const { return templates_; }
  const std::vector<std::string>& links() const { return links_; }
  int current_number() const { return number_; }
  const std::string& last_page_source() const { return last_source_; }
  QPointer<OrderInfoWindow> order_window() const { return order_window_; }

  // The window-created sequence: collects the links and loads the first complaint.
  void open_sequence();
  // The editor's save: Complaint.txt is written whole, the templates become the window's,
  // the list is filled again and the reply box holds template 1. False when the file
  // could not be written (a message box over asker says why; file and window keep the
  // old templates) or the window went during the save.
  bool save_templates(const Templates& templates, QWidget* asker = nullptr);
  // Always-on-top flag, kept visible.
  void set_on_top(bool on);

 signals:
  // Every text written into the status bar's second field, in order.
  void status_text_changed(const QString& text);
  // The opening sequence ended (also when it closed the window).
  void opened();
  // A processing press returned (after one complaint, or after a run over all of them).
  void processing_finished();

 public slots:
  void process();       // "处理（F1）", or F1 in the reply box
  void look_up_order(); // "查询订单信息"
  void edit_templates();  // "编辑/添加"

 protected:
  // Shows the browser window again, gives the main button back, ends the journal's run.
  void on_closing() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build();
  void fill_phrases();
  void choose_phrase(int index);
  void set_progress(const QString& text);
  void append_particulars();
  bool process_current(ToolRun& run, bool batch);
  bool advance(ToolRun& run, bool batch);
  enum class Shown { complaint, finished, ended };
  Shown show_complaint(ToolRun& run);
  void finish();
  // The window can do no more (the list or the session is gone): idle, nothing to process.
  void stand_down();
  void report_to(ToolRun& run, bool record);
  journal::Run& journal();
  void show_browser_window();

  ToolContext& ctx_;
  QPointer<QPushButton> main_button_;
  Controls c_;
  Templates templates_;
  std::vector<std::string> links_;
  int number_ = 1;
  std::string last_source_;
  bool opening_ = false;
  bool processing_ = false;
  bool finished_ = false;  // the list is through, or the window can do no more
  int not_done_ = 0;       // complaints whose page or answer did not come
  QPointer<OrderInfoWindow> order_window_;
  QPointer<QWidget> browser_window_;
  // The journal's run: from the first press on, one item per complaint treated.
  std::unique_ptr<journal::Run> journal_;
};

}  // namespace tools::complaints
