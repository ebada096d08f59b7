#include "tools/orders/open_orders.h"

#include "tools/orders/orders_window.h"

namespace tools::orders {

void open_orders(ToolContext& ctx) {
  auto* window = new OrdersWindow(ctx);
  window->show();
}

}  // namespace tools::orders
