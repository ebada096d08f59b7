#pragma once
// The product-name batch editor window: a list of names and whole-list operations.

#include <QWidget>

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tools {
class ToolContext;
}

namespace tools::names {

class NamesWindow : public QWidget {
  Q_OBJECT
 public:
  explicit NamesWindow(ToolContext& ctx, QWidget* parent = nullptr);

  // The main text as GBK with CR LF line ends, and its replacement.
  std::string main_text() const;
  void set_main_text(const std::string& gbk);

 private:
  void on_remove_duplicates();
  void on_add_prefix();
  void on_number_lines();
  void on_delete_empty_lines();
  void on_reverse();
  void on_replace_first_char();
  void on_replace_text();
  void on_strip_keywords();
  void on_case_clicked(bool checked);

  std::string configure_path_;
  QPlainTextEdit* main_ = nullptr;
  QLineEdit* prefix_ = nullptr;
  QLineEdit* start_ = nullptr;
  QLineEdit* first_char_ = nullptr;
  QLineEdit* find_ = nullptr;
  QLineEdit* replacement_ = nullptr;
  QLineEdit* count_ = nullptr;
  QCheckBox* case_sensitive_ = nullptr;
  QLineEdit* keywords_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace tools::names
