#pragma once
// The bookkeeping of a pricing run, without Qt: which level-price field each mode fills,
// and where the run stands on the product list (row of the page, page number).

#include <string>

namespace tools::pricing {

inline constexpr int kRowsPerPage = 19;
inline constexpr int kRowLimit = 10000;   // the run ends when its row count reaches this
inline constexpr int kStoppedCount = 100001;  // "停止定价" sets the row count to this
inline constexpr int kModeCount = 3;

// The level-price box and the button of a mode (0: direct addition, 1: purchase-price
// discount, 2: face-value discount); modes out of range give the first.
struct ModeFields {
  const char* price_box;
  const char* set_button;
};
ModeFields mode_fields(int mode);

// After row 19: the pager option to choose (1-based), the one after the selected one
// (selected_index: 0-based, -1 when the list has no pager; options: the pager's count);
// 0 when there is none: the list ends on this page.
int next_option(int selected_index, int options);

// Row i (1 to 19) of the list page the run works on, and that page's number (from the
// pager when the list has one, else 1).
class RowCursor {
 public:
  // Row 1 of page (values below 1 count as 1).
  void start(int page);
  int row() const { return row_; }
  int page() const { return page_; }
  // The row's steps are done: the next row. True when that was the page's 19th row; the
  // caller turns the page and calls turned().
  bool next();
  // After a page turn to the pager's option number option (1-based): row 1 of that page.
  void turned(int option);
  // The journal key of the current row: "第P页第R行".
  std::string key() const;

 private:
  int row_ = 1;
  int page_ = 1;
};

}  // namespace tools::pricing
