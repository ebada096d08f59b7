#include "tools/publishing/open_publishing.h"

#include "tools/common/tool_context.h"
#include "tools/publishing/publishing_window.h"

namespace tools::publishing {

PublishingWindow* open_publishing(ToolContext& ctx) {
  ctx.navigate_main(ctx.take_platform_root() + kAddFormPath);
  auto* window = new PublishingWindow(ctx);
  window->show();
  return window;
}

}  // namespace tools::publishing
