#include "tools/submission/open_submission.h"

#include "tools/common/tool_context.h"
#include "tools/submission/submission_window.h"

namespace tools::submission {

void open_submission(ToolContext& ctx) {
  auto* window = new SubmissionWindow(ctx);
  window->show();
}

}  // namespace tools::submission
