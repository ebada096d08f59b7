#pragma once
namespace tools { class ToolContext; }
namespace tools::orders {
// Main window button "订单自动处理": shows the order window (not modal, no owner; it
// deletes itself when closed).
void open_orders(ToolContext& ctx);
}  // namespace tools::orders
