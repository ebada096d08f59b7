#pragma once
namespace tools { class ToolContext; }
namespace tools::stock {
// Main window button "删除卡密库存": shows the stock deletion window (not modal, no owner;
// it deletes itself when closed). The window takes the main browser to the inventory page
// and starts the message-box confirmer as it opens.
void open_stock_deletion(ToolContext& ctx);
}  // namespace tools::stock
