#pragma once
// The main window's controls that the bulk sale-status run works with.

#include <array>

class QPlainTextEdit;
class QPushButton;

namespace platform { class BrowserView; }

namespace tools {

struct BulkStatusParts {
  // "销售全部商品", "暂停全部商品", "禁售全部商品" (status codes 1, 0, -1).
  std::array<QPushButton*, 3> buttons{};
  QPlainTextEdit* scratch = nullptr;                // the hidden id scratch box
  platform::BrowserView* status_browser = nullptr;  // the hidden status browser
};

}  // namespace tools
