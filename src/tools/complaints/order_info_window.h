#pragma once
// The order-info window: the order details of the shown complaint in a browser of its
// own (same profile, so the same login). While it is open it, not the complaint
// window, stays on top.

#include <QPointer>

#include <string>

#include "tools/common/tool_window.h"

namespace platform { class BrowserView; }

namespace tools::complaints {

class ComplaintWindow;

class OrderInfoWindow : public ToolWindow {
  Q_OBJECT
 public:
  OrderInfoWindow(ToolContext& ctx, ComplaintWindow* complaints);
  ~OrderInfoWindow() override;

  platform::BrowserView* view() const { return view_; }
  // Navigates the window's browser to a GBK address.
  void navigate(const std::string& address);

 protected:
  void on_closing() override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPointer<ComplaintWindow> complaints_;
  platform::BrowserView* view_ = nullptr;
};

}  // namespace tools::complaints
