#pragma once
// The reply-template editor: twelve boxes "1、" to "12、", "保存" and "取消". Modal over
// the complaint window, whose templates it edits.

#include <QDialog>
#include <QPointer>

#include <array>

#include "tools/complaints/complaint_core.h"

class QPlainTextEdit;
class QPushButton;

namespace tools { class ToolContext; }

namespace tools::complaints {

class ComplaintWindow;

class TemplateEditor : public QDialog {
  Q_OBJECT
 public:
  TemplateEditor(ToolContext& ctx, ComplaintWindow* complaints);

  QPlainTextEdit* box(int n) const { return boxes_.at(static_cast<std::size_t>(n - 1)); }  // 1-12
  QPushButton* save_button() const { return save_; }
  QPushButton* cancel_button() const { return cancel_; }

 public slots:
  void save();    // "保存"
  void cancel();  // "取消": asks first
  // Esc and the window's close box ask like "取消".
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  QPointer<ComplaintWindow> complaints_;
  std::array<QPlainTextEdit*, kTemplateCount> boxes_{};
  QPushButton* save_ = nullptr;
  QPushButton* cancel_ = nullptr;
  bool leaving_ = false;
};

}  // namespace tools::complaints
