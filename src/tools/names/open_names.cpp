#include "tools/names/open_names.h"

#include "tools/common/tool_context.h"
#include "tools/names/names_window.h"

namespace tools::names {

void open_names_editor(ToolContext& ctx) {
  auto* window = new NamesWindow(ctx);
  window->show();
}

}  // namespace tools::names
