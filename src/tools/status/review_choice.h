#pragma once
// The modal choice before a bulk status run: the products that have not passed the
// platform's review, or those that have.

#include <QDialog>
#include <QPointer>
#include <QString>

#include "tools/common/page_expect.h"

class QLabel;

namespace tools { class ToolContext; }

namespace tools::status {

// The product list after the action marked (a navigation to it, the review tab's
// post-back): a fresh load at its address.
Expect product_list(const QString& page);

class ReviewChoice : public QDialog {
  Q_OBJECT
 public:
  // owner: the window the run belongs to (its going ends the first link's wait); title:
  // the window's title; before_list: the documents shown before the main browser was
  // sent to the product list (the tab is clicked only once that list has loaded).
  ReviewChoice(ToolContext& ctx, QWidget* owner, const QString& title, const PageMark& before_list = {});

  QLabel* unreviewed_link() const { return unreviewed_; }  // 销售/暂停/禁售未审核通过的商品
  QLabel* reviewed_link() const { return reviewed_; }      // 销售/暂停/禁售审核通过的商品
  // The first link was chosen (the list was to be switched to the unreviewed products).
  bool switched() const { return switched_; }
  // How the switch went: arrived once the switched list has loaded (also when no switch
  // was asked); otherwise the list shown is not the one chosen, and problem() says why.
  Arrival switch_arrival() const { return arrival_; }
  const QString& problem() const { return problem_; }

 public slots:
  // The list switched to the products that have not passed review, then closed.
  void choose_unreviewed();
  // The list left as it is, closed.
  void choose_reviewed();

 private:
  ToolContext& ctx_;
  QPointer<QWidget> owner_;
  PageMark before_list_;
  QLabel* unreviewed_ = nullptr;
  QLabel* reviewed_ = nullptr;
  bool switched_ = false;
  Arrival arrival_ = Arrival::arrived;
  QString problem_;
};

}  // namespace tools::status
