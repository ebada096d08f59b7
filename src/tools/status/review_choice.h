#pragma once
// The modal choice before a bulk status run: the products that have not passed the
// platform's review, or those that have.

#include <QDialog>
#include <QPointer>

class QLabel;

namespace tools { class ToolContext; }

namespace tools::status {

class ReviewChoice : public QDialog {
  Q_OBJECT
 public:
  // owner: the window the run belongs to (its going ends the first link's wait); title:
  // the window's title.
  ReviewChoice(ToolContext& ctx, QWidget* owner, const QString& title);

  QLabel* unreviewed_link() const { return unreviewed_; }  // 销售/暂停/禁售未审核通过的商品
  QLabel* reviewed_link() const { return reviewed_; }      // 销售/暂停/禁售审核通过的商品
  // The first link was chosen (the list was switched to the unreviewed products).
  bool switched() const { return switched_; }

 public slots:
  // The list switched to the products that have not passed review, then closed.
  void choose_unreviewed();
  // The list left as it is, closed.
  void choose_reviewed();

 private:
  ToolContext& ctx_;
  QPointer<QWidget> owner_;
  QLabel* unreviewed_ = nullptr;
  QLabel* reviewed_ = nullptr;
  bool switched_ = false;
};

}  // namespace tools::status
