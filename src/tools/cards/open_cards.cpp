#include "tools/cards/open_cards.h"

#include "tools/cards/card_import_core.h"
#include "tools/cards/card_window.h"
#include "tools/common/tool_context.h"

namespace tools::cards {

void open_cards(ToolContext& ctx) {
  ctx.navigate_main(ctx.take_platform_root() + std::string(kInventoryPath));
  auto* window = new CardWindow(ctx);
  window->show();
}

}  // namespace tools::cards
