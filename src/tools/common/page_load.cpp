#include "tools/common/page_load.h"

#include <QElapsedTimer>
#include <QPointer>

#include <cmath>

#include "platform/browser_view.h"
#include "platform/waits.h"
#include "tools/common/tool_window.h"

namespace tools {

bool wait_page_loaded(ToolRun& run, platform::BrowserView* browser, int limit_ms) {
  constexpr int kStepMs = 50;
  QPointer<platform::BrowserView> view = browser;
  // The limit is a wait like the others: tests shorten it with the wait scale.
  const qint64 limit = std::llround(limit_ms * platform::wait_scale());
  QElapsedTimer clock;
  clock.start();
  while (view && view->ready_state() != 4 && clock.elapsed() < limit)
    if (!run.wait(kStepMs)) return false;
  return run.alive();
}

}  // namespace tools
