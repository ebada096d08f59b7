#include "tools/pricing/pricing_core.h"

namespace tools::pricing {

ModeFields mode_fields(int mode) {
  switch (mode) {
    case 1:
      return {"txtLevelPrice2", "Set22"};
    case 2:
      return {"txtLevelPrice3", "Set33"};
    default:
      return {"txtLevelPrice1", "Set11"};
  }
}

void RowCursor::start(int page) {
  row_ = 1;
  page_ = page < 1 ? 1 : page;
}

bool RowCursor::next() {
  ++row_;
  return row_ == kRowsPerPage + 1;
}

void RowCursor::turned(int selected_index, int options) {
  row_ = 1;
  // The option after the selected one is option number s + 2: page s + 2, when it exists.
  if (selected_index >= 0 && selected_index + 2 <= options) page_ = selected_index + 2;
}

std::string RowCursor::key() const {
  return "第" + std::to_string(page_) + "页第" + std::to_string(row_) + "行";
}

}  // namespace tools::pricing
