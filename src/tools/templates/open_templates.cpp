#include "tools/templates/open_templates.h"

#include "tools/templates/templates_window.h"

namespace tools::templates {

void open_templates(ToolContext& ctx) {
  auto* window = new TemplatesWindow(ctx);
  window->show();
}

}  // namespace tools::templates
