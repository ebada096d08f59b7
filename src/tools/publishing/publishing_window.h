#pragma once
// The publishing window: a list of product names and the settings they share, filled
// into the platform's add form once per name.

#include <QPointer>
#include <QJsonObject>
#include <QString>

#include "tools/common/tool_window.h"

#include <random>
#include <string>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tools::publishing {

class ColourPicker;

inline constexpr const char* kAddFormPath = "/SelfProduct/SelfProductAdd.aspx";

class PublishingWindow : public ToolWindow {
  Q_OBJECT
 public:
  explicit PublishingWindow(ToolContext& ctx);
  ~PublishingWindow() override;

  // The controls, for the colour picker and for tests.
  struct Controls {
    QPlainTextEdit* names = nullptr;
    QLineEdit* catalogue[3] = {nullptr, nullptr, nullptr};
    QRadioButton* sales_sub = nullptr;  // 面向下级客户
    QRadioButton* sales_all = nullptr;  // 面向所有客户(需审核)
    QLineEdit* unit = nullptr;
    QLineEdit* face_value = nullptr;
    QLineEdit* days = nullptr;
    QRadioButton* status[3] = {nullptr, nullptr, nullptr};  // on sale, paused, forbidden
    QLineEdit* colour = nullptr;
    QPushButton* colour_lookup = nullptr;
    QCheckBox* random_colour = nullptr;
    QCheckBox* bold = nullptr;
    QPlainTextEdit* introduction = nullptr;
    QPlainTextEdit* notice = nullptr;
    QLineEdit* charging = nullptr;
    QLineEdit* recharge = nullptr;
    QLineEdit* contact = nullptr;
    QPushButton* start = nullptr;
    QPushButton* stop = nullptr;
    QPushButton* catalogue_lookup = nullptr;
    QPushButton* disk_tool = nullptr;
    QLabel* tip_link = nullptr;
    QLabel* status_text = nullptr;
    QProgressBar* progress = nullptr;
  };
  const Controls& controls() const { return c_; }

  // Text colour of the product-names box and of the colour box.
  void set_text_colour(const QColor& colour);
  void set_colour_code(const QString& code);

  // Position counter and name count of the current (or last) run.
  int position() const { return position_; }
  int name_count() const { return count_; }

 signals:
  // Every text shown in the status bar's first panel, in order.
  void status_text_changed(const QString& text);
  // A run returned to idle (after the last product, after stop, or at once).
  void run_finished();

 public slots:
  void start_run();   // "开始发布"
  void stop_run();    // "停止发布"

 protected:
  // Stops the confirmer, then saves names and settings.
  void on_closing() override;

 private:
  void build();
  void load_settings();
  void save_settings();
  void set_status(const QString& text);
  void fill_product(const std::string& name);
  void finish_run(ToolRun& run);
  Expect add_form() const;
  // What a run runs with, for the journal.
  QJsonObject run_settings() const;
  void open_colour_picker();
  void open_catalogue_lookup();
  void show_tip();

  ToolContext& ctx_;
  Controls c_;
  QButtonGroup* sales_group_ = nullptr;
  QButtonGroup* status_group_ = nullptr;
  QPointer<ColourPicker> picker_;

  int position_ = 0;
  int count_ = 0;
  int done_ = 0;
  bool stopped_ = false;  // "停止发布" pressed during the run
  std::mt19937 random_;
};

}  // namespace tools::publishing
