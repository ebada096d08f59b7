#pragma once
namespace tools { class ToolContext; }
namespace tools::pricing {
// Main window button "自动库存+定价": shows the pricing window (not modal, no owner; it
// deletes itself when closed), then lets the page in the main browser tell the user, in
// an alert, to show the products that have not passed review.
void open_pricing(ToolContext& ctx);
}  // namespace tools::pricing
