#pragma once
// The main window's three sale-status buttons: every product that passed the platform's
// review (or every one that did not) set to sell, pause or forbid, in a few requests.

namespace tools {
class ToolContext;
struct BulkStatusParts;
}  // namespace tools

namespace tools::status {

// Button index 0 "销售全部商品" (status 1), 1 "暂停全部商品" (0), 2 "禁售全部商品" (-1):
// the main browser to the product list, the review choice (modal), then the walk over
// every page, the id groups posted in the hidden status browser, the captions back and
// the done message. Returns when the run is over; it runs on the window of the buttons,
// and ends at its next step when that window goes.
void run_bulk_status(ToolContext& ctx, const BulkStatusParts& parts, int index);

}  // namespace tools::status
