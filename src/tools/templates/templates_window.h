#pragma once
// The template setter: "1.分析" walks every page of the product list and collects each
// product's template page; the three lists are filled from a real template page as the
// user chooses; "2.开始" applies the choice to every collected product.

#include <QJsonObject>
#include <QString>

#include <random>
#include <string>
#include <vector>

#include "tools/common/tool_window.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tools::templates {

class TemplatesWindow : public ToolWindow {
  Q_OBJECT
 public:
  // Window opened: title, the main browser to the product list, the six types with the
  // first selected, the data directory.
  explicit TemplatesWindow(ToolContext& ctx);
  ~TemplatesWindow() override;

  struct Controls {
    QComboBox* types = nullptr;      // 类型
    QComboBox* vendors = nullptr;    // 厂商系统
    QComboBox* templates = nullptr;  // 充值模版
    QPushButton* analyse = nullptr;  // 1.分析
    QPushButton* start = nullptr;    // 2.开始
    QLabel* status = nullptr;
    QPlainTextEdit* links = nullptr;  // hidden: the collected links, one per line
    QPushButton* tutorial = nullptr;  // 使用教程【必看】
  };
  const Controls& controls() const { return c_; }

  // The link list of the last analysis (GBK), its count M, the product being set
  // (1-based; 0 before the first) and the chosen radio number.
  const std::vector<std::string>& links() const { return links_; }
  int product_number() const { return product_; }
  int radio() const { return radio_; }

 signals:
  // Every status text, in order.
  void status_text_changed(const QString& text);
  // A handler's run returned (its window still open): analysis, applying, a choice.
  void analysis_finished();
  void applying_finished();
  void choice_finished();

 public slots:
  void analyse();                  // "1.分析"
  void start_applying();           // "2.开始"
  void type_chosen(int index);     // the user chose a type
  void vendor_chosen(int index);   // the user chose a vendor system
  void template_chosen(int index); // the user chose a template
  void open_tutorial();

 protected:
  // Stops the colour timer.
  void on_closing() override;

 private:
  void build();
  void set_status(const QString& text);
  void append_link(const std::string& link);
  // Empties list and fills it with the options of the select key on the page attached.
  void fill_from_select(QComboBox* list, const char* key);
  void new_tutorial_colour();
  // Whether a choice goes on after a page step (arrived); otherwise it ends here, and
  // choice_finished is emitted unless the window was closed.
  bool choice_goes_on(ToolRun& run, Arrival arrival);
  // The choice as the lists show it ("接口直冲 / 腾讯游戏 / …"), and for the journal.
  QString choice_text() const;
  QJsonObject run_settings() const;

  ToolContext& ctx_;
  Controls c_;
  QTimer* colour_timer_ = nullptr;
  std::mt19937 random_;

  std::vector<std::string> links_;
  int product_ = 0;
  int radio_ = 1;  // the first type is selected when the window opens
};

}  // namespace tools::templates
