#pragma once
// The colour picker: a palette page in a browser of its own, and a hidden converter
// page that turns the picked code into red, green and blue.

#include <QPointer>
#include <QWidget>

namespace platform { class BrowserView; }
namespace tools { class ToolContext; }

namespace tools::publishing {

class PublishingWindow;

class ColourPicker : public QWidget {
  Q_OBJECT
 public:
  // publishing: the window whose colour box receives the pick (may go away first).
  ColourPicker(ToolContext& ctx, PublishingWindow* publishing);
  ~ColourPicker() override;

  platform::BrowserView* palette_view() const { return palette_; }
  platform::BrowserView* converter_view() const { return converter_; }

 signals:
  // A code was read back and applied (before the picker closes).
  void colour_applied(const QString& code, const QColor& colour);

 public slots:
  void choose_again();  // "重新选择"

 private:
  void write_pages(bool converter_too);
  void on_title_changed();
  void apply_pick();

  ToolContext& ctx_;
  QPointer<PublishingWindow> publishing_;
  platform::BrowserView* palette_ = nullptr;
  platform::BrowserView* converter_ = nullptr;
  bool busy_ = false;
};

}  // namespace tools::publishing
