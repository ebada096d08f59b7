#pragma once
// Lists the catalogue entries of the add form with the numbers the publishing window
// expects, and finds an entry by keyword.

#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace tools { class ToolContext; }

namespace tools::publishing {

class CatalogueWindow : public QWidget {
  Q_OBJECT
 public:
  explicit CatalogueWindow(ToolContext& ctx, QWidget* parent = nullptr);

  QPlainTextEdit* listing() const { return listing_; }
  QLineEdit* keyword() const { return keyword_; }

 public slots:
  void refresh();  // "刷新获取编号"
  void search();   // "搜索"

 private:
  ToolContext& ctx_;
  QPlainTextEdit* listing_ = nullptr;
  QLineEdit* keyword_ = nullptr;
  QPushButton* refresh_button_ = nullptr;
  QPushButton* search_button_ = nullptr;
};

}  // namespace tools::publishing
