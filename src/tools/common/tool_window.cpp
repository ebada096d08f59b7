#include "tools/common/tool_window.h"

#include <QCloseEvent>

#include <vector>

#include "platform/browser_view.h"
#include "platform/waits.h"

namespace tools {

namespace {

// Open tool windows, for shut_down_all().
std::vector<ToolWindow*>& open_windows() {
  static std::vector<ToolWindow*> windows;
  return windows;
}

// Browsers whose input a window holds off after its run ended (keep_browser_disabled).
struct Held {
  ToolWindow* window;
  QPointer<platform::BrowserView> browser;
};
std::vector<Held>& held_browsers() {
  static std::vector<Held> held;
  return held;
}

// Removes window's hold on browser (any browser when browser is null); true if it had one.
bool release_hold(ToolWindow* window, platform::BrowserView* browser) {
  auto& held = held_browsers();
  bool found = false;
  for (auto it = held.begin(); it != held.end();) {
    if (it->window == window && (!browser || it->browser == browser)) {
      if (!browser && it->browser) it->browser->set_input_enabled(true);
      it = held.erase(it);
      found = true;
    } else {
      ++it;
    }
  }
  return found;
}

}  // namespace

ToolWindow::ToolWindow(ToolContext& ctx) : QWidget(nullptr), ctx_(ctx) {
  setAttribute(Qt::WA_DeleteOnClose);
  open_windows().push_back(this);
}

ToolWindow::~ToolWindow() {
  auto& w = open_windows();
  std::erase(w, this);
  release_hold(this, nullptr);
}

void ToolWindow::shut_down() {
  if (shut_down_) return;
  shut_down_ = true;
  release_hold(this, nullptr);
  on_closing();
}

void ToolWindow::shut_down_all() {
  // A window's closing work may open or close others: work on a guarded copy.
  std::vector<QPointer<ToolWindow>> windows(open_windows().begin(), open_windows().end());
  for (const auto& w : windows)
    if (w) w->shut_down();
}

void ToolWindow::closeEvent(QCloseEvent* event) {
  shut_down();
  if (running()) {
    // A run holds this window on its stack: it ends at its next step and the last
    // run to return deletes the window.
    closing_ = true;
    setAttribute(Qt::WA_DeleteOnClose, false);
  }
  event->accept();
}

ToolRun::ToolRun(QWidget* owner, platform::BrowserView* browser)
    : owner_(owner), window_(qobject_cast<ToolWindow*>(owner)), browser_(browser) {
  if (window_) ++window_->runs_;
}

ToolRun::~ToolRun() {
  if (took_input_ && browser_) {
    if (keep_disabled_ && window_ && alive() && !window_->shut_down_)
      held_browsers().push_back({window_.data(), browser_});
    else
      browser_->set_input_enabled(true);
  }
  if (!window_) return;
  if (--window_->runs_ == 0 && window_->closing_) window_->deleteLater();
}

bool ToolRun::alive() const { return owner_ && !(window_ && window_->closing_); }

bool ToolRun::wait(int ms) {
  if (!alive()) return false;
  platform::wait_responsive(ms);
  return alive();
}

bool ToolRun::pause(int ms) {
  if (!alive()) return false;
  platform::pause_blocking(ms);
  return alive();
}

void ToolRun::disable_browser_input() {
  if (!browser_) return;
  if (window_) release_hold(window_.data(), browser_.data());
  browser_->set_input_enabled(false);
  took_input_ = true;
}

void ToolRun::enable_browser_input() {
  if (!browser_) return;
  if (window_) release_hold(window_.data(), browser_.data());
  browser_->set_input_enabled(true);
  took_input_ = false;
}

}  // namespace tools
