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

int next_option(int selected_index, int options) {
  // The option after the selected one is option number s + 2, when it exists.
  return selected_index >= 0 && selected_index + 2 <= options ? selected_index + 2 : 0;
}

void RowCursor::turned(int option) {
  row_ = 1;
  if (option >= 1) page_ = option;
}

std::string RowCursor::key() const {
  return "第" + std::to_string(page_) + "页第" + std::to_string(row_) + "行";
}

}  // namespace tools::pricing
