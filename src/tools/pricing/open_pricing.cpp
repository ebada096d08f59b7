#include "tools/pricing/open_pricing.h"

#include <QString>

#include "page/live_page.h"
#include "page/page_objects.h"
#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "tools/common/tool_context.h"
#include "tools/pricing/pricing_window.h"

namespace tools::pricing {

void open_pricing(ToolContext& ctx) {
  auto* window = new PricingWindow(ctx);
  window->show();
  page::LivePage& live = ctx.pages().live(page::PageObjects::kLiveMain);
  live.attach_live_page(ctx.main_browser());
  live.run_script(platform::to_gbk(QStringLiteral("alert('%1')").arg(QString::fromUtf8(kReviewAlert))));
}

}  // namespace tools::pricing
