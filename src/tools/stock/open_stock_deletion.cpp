#include "tools/stock/open_stock_deletion.h"

#include "tools/stock/stock_window.h"

namespace tools::stock {

void open_stock_deletion(ToolContext& ctx) {
  auto* window = new StockDeletionWindow(ctx);
  window->show();
}

}  // namespace tools::stock
