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
  // After a page turn: selected_index is the pager's selected option (0-based) before the
  // turn, or -1 when the list has no pager; options is the pager's option count. Row 1 of
  // the next page, or of the same one when there is no next option.
  void turned(int selected_index, int options);
  // The journal key of the current row: "第P页第R行".
  std::string key() const;

 private:
  int row_ = 1;
  int page_ = 1;
};

}  // namespace tools::pricing
