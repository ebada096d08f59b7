#include "tools/complaints/order_info_window.h"

#include <QResizeEvent>

#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "tools/common/tool_context.h"
#include "tools/complaints/complaint_window.h"

namespace tools::complaints {

namespace {
constexpr int kBorder = 10;  // the browser is this much narrower and lower than the window
}

OrderInfoWindow::OrderInfoWindow(ToolContext& ctx, ComplaintWindow* complaints)
    : ToolWindow(ctx), complaints_(complaints) {
  set_shows_run_mode(false);  // a page to look at, no steps
  setWindowTitle(ctx.main_title() + QStringLiteral("-订单信息"));
  view_ = new platform::BrowserView(this);
  view_->setAccessibleName(QStringLiteral("订单信息"));
  resize(820, 600);
  if (complaints_) complaints_->set_on_top(false);
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

OrderInfoWindow::~OrderInfoWindow() { shut_down(); }

void OrderInfoWindow::navigate(const std::string& address) { view_->navigate(platform::from_gbk(address)); }

void OrderInfoWindow::resizeEvent(QResizeEvent* event) {
  ToolWindow::resizeEvent(event);
  view_->setGeometry(kBorder / 2, kBorder / 2, std::max(0, width() - kBorder), std::max(0, height() - kBorder));
}

void OrderInfoWindow::on_closing() {
  if (complaints_ && !complaints_->closing()) complaints_->set_on_top(true);
}

}  // namespace tools::complaints
