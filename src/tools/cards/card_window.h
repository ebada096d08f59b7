#pragma once
// The card import window: one line of card content per product of the inventory page,
// sent to each product's card-import form as many times as the chosen card count.

#include <QJsonObject>
#include <QString>

#include <string>

#include "tools/common/tool_window.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tools::cards {

class CardWindow : public ToolWindow {
  Q_OBJECT
 public:
  explicit CardWindow(ToolContext& ctx);
  ~CardWindow() override;

  struct Controls {
    QPlainTextEdit* content = nullptr;   // 点卡内容：
    QComboBox* card_number = nullptr;    // 选择有无卡号：
    QLineEdit* expiry = nullptr;         // 该卡有效日期：
    QCheckBox* counts[4] = {};           // 50, 100, 200(推荐), 400
    QLineEdit* pace = nullptr;           // 设置频率： … s/次
    QPushButton* confirm = nullptr;      // 确认导卡
    QLabel* progress = nullptr;
    QLabel* instructions[2] = {};
  };
  const Controls& controls() const { return c_; }

  // The hint the content box holds at first (lines joined by "\n", as the box shows them).
  static QString hint_text();

  // The text sent to "CardContent" for the current (or last) product, GBK.
  const std::string& import_text() const { return import_text_; }
  // The card count in force of the current (or last) import.
  int card_count() const { return card_count_; }

 signals:
  // Every text shown in the progress label, in order.
  void progress_changed(const QString& text);
  // The import clicked a button of the card-import form ("Submit" or "Save").
  void form_button_clicked(const QString& id);
  // An import returned (after its last product, at an early end, or at once).
  void import_finished();

 public slots:
  void start_import();  // "确认导卡"

 protected:
  // Stops the message-box confirmer (the base gives back the window's own holds on the
  // browser's input).
  void on_closing() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build();
  QJsonObject run_settings() const;
  void set_progress(const QString& text);
  void count_box_clicked(int index);
  // Steps 6-16 for product m, whose import form the navigation marked by opened brings:
  // arrived when the platform answered the save; else how the first page that did not
  // come went (or ended when the window went).
  Arrival import_product(ToolRun& run, int m, const std::string& address, const PageMark& opened);

  ToolContext& ctx_;
  Controls c_;
  std::string import_text_;
  int card_count_ = 0;
};

}  // namespace tools::cards
