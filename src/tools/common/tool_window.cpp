#include "tools/common/tool_window.h"

#include <QCloseEvent>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <vector>

#include "page/page_probe.h"
#include "platform/browser_view.h"
#include "page/confirmer.h"
#include "platform/dialogs.h"
#include "platform/script_boxes.h"
#include "platform/waits.h"
#include "tools/common/journal.h"
#include "tools/common/run_mode.h"

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
  connect(RunMode::instance(), &RunMode::changed, this, [this] {
    if (shows_run_mode_) setWindowTitle(RunMode::titled(windowTitle()));
  });
}

void ToolWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::WindowTitleChange && shows_run_mode_ && !retitling_) {
    const QString titled = RunMode::titled(windowTitle());
    if (titled != windowTitle()) {
      retitling_ = true;
      setWindowTitle(titled);
      retitling_ = false;
    }
  }
  QWidget::changeEvent(event);
}

void ToolWindow::set_shows_run_mode(bool shows) {
  shows_run_mode_ = shows;
  if (!shows) setWindowTitle(windowTitle().endsWith(RunMode::title_suffix())
                                 ? windowTitle().chopped(RunMode::title_suffix().size())
                                 : windowTitle());
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

namespace {
// The last page-changing action of any run (the floor runs from it; invalid: none yet).
QElapsedTimer& since_action() {
  static QElapsedTimer clock;
  return clock;
}

// Presses the box that just opened, trying again shortly while it is not shown yet.
void press_box(int tries) {
  if (page::confirm_tick() || tries <= 0) return;
  QTimer::singleShot(10, [tries] { press_box(tries - 1); });
}
}  // namespace

ToolRun::ToolRun(QWidget* owner, platform::BrowserView* browser)
    : owner_(owner), window_(qobject_cast<ToolWindow*>(owner)), browser_(browser), fast_(RunMode::fast()) {
  if (window_) ++window_->runs_;
  if (fast_) watch_boxes_of(browser);
}

void ToolRun::watch_boxes_of(platform::BrowserView* browser) {
  if (!fast_ || !browser) return;
  for (const auto& b : box_browsers_)
    if (b == browser) return;
  box_browsers_.emplace_back(browser);
  if (box_watch_) return;
  // A box of the run's browsers is confirmed as soon as it shows (the confirmer's own
  // click, so the journal records it as the confirmer's), not at the next tick.
  box_watch_ = new QObject;
  QObject::connect(platform::ScriptBoxes::instance(), &platform::ScriptBoxes::opened, box_watch_,
                   [this](quint64, QWidget* from, platform::ScriptBoxKind, const QString&) {
                     bool ours = false;
                     for (const auto& b : box_browsers_)
                       if (b && b.data() == from) ours = true;
                     if (ours) QTimer::singleShot(0, [] { press_box(20); });
                   });
}

ToolRun::~ToolRun() {
  delete box_watch_;
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

namespace {
// Long waits go in pieces, so that a close ends them within a second.
constexpr int kWaitPieceMs = 1000;
}  // namespace

bool ToolRun::waited(int ms, bool blocking) {
  if (!alive()) return false;
  do {
    const int piece = ms > kWaitPieceMs ? kWaitPieceMs : ms;
    if (blocking) platform::pause_blocking(piece);
    else platform::wait_responsive(piece);
    ms -= piece;
  } while (ms > 0 && alive());
  return alive();
}

int ToolRun::wait_length(int ms) const {
  if (!fast_) return ms;
  // The elapsed time in the steps' time (tests shorten the waits with the wait scale).
  const double scale = platform::wait_scale();
  const QElapsedTimer& last = since_action();
  const qint64 since = last.isValid() && scale > 0 ? std::llround(last.elapsed() / scale) : kFastFloorMs;
  const qint64 floor_left = kFastFloorMs - since;
  return static_cast<int>(std::clamp<qint64>(floor_left, 0, ms));
}

bool ToolRun::wait(int ms) { return waited(wait_length(ms), false); }

bool ToolRun::pause(int ms) { return waited(wait_length(ms), true); }

bool ToolRun::hold(int ms) { return waited(ms, false); }

QString login_expired_text() { return QStringLiteral("登录已失效，请在主程序重新登录"); }

void ToolRun::report_to(journal::Run* record, std::function<void(const QString&)> status) {
  record_ = record;
  status_ = std::move(status);
  if (record && status_) {
    // The journal may outlive this run (a watch's run spans many): it holds its own copy.
    record->on_recording_stopped([status = status_, owner = owner_](const QString& text) {
      if (owner) status(text);
    });
  }
}

void ToolRun::stop_when(std::function<bool()> stopped) { stopped_ = std::move(stopped); }

PageMark ToolRun::mark(platform::BrowserView* browser) const {
  PageMark m;
  platform::BrowserView* view = browser ? browser : browser_.data();
  if (!view) return m;
  m.loads = view->loads_started();
  const page::PageState state = page::probe_page(view);
  m.read = state.read;
  for (const page::ShownDocument& d : state.documents) m.documents << d.identity;
  return m;
}

namespace {
// The keys and selects that judging expect needs probed.
void probe_keys(const Expect& expect, std::vector<std::string>& keys, std::vector<std::string>& selects) {
  keys = expect.elements;
  keys.insert(keys.end(), expect.absent.begin(), expect.absent.end());
  if (!expect.select.empty()) selects.push_back(expect.select);
}
}  // namespace

Arrival ToolRun::look(const PageMark& mark, const Expect& expect, platform::BrowserView* browser) {
  const QPointer<platform::BrowserView> view = browser ? browser : browser_.data();
  if (!alive() || !view) return Arrival::ended;
  std::vector<std::string> keys, selects;
  probe_keys(expect, keys, selects);
  const page::PageState state = page::probe_page(view, keys, selects);
  if (!alive() || !view) return Arrival::ended;
  const Verdict v = judge(state, mark, view->loads_started(), expect);
  if (v.holds) return Arrival::arrived;
  if (v.login) {
    expire_login();
    return Arrival::login_expired;
  }
  return Arrival::missing;
}

Arrival ToolRun::wait_for(int ms, const PageMark& mark, const Expect& expect, Kind kind,
                          platform::BrowserView* browser) {
  constexpr int kPollMs = 50;
  constexpr int kFastPollMs = 20;
  const QPointer<platform::BrowserView> view = browser ? browser : browser_.data();
  QElapsedTimer since_action;  // the action has just returned
  since_action.start();
  tools::since_action().start();
  watch_boxes_of(view);
  // Paced: the prescribed wait first. Fast: the floor, then the page as soon as it is
  // there and quiet (no load in progress, no message box open).
  if (!waited(fast_ && ms > kFastFloorMs ? kFastFloorMs : ms, kind == Kind::blocking)) return Arrival::ended;
  std::vector<std::string> keys, selects;
  probe_keys(expect, keys, selects);
  // The limit is a wait like the others: tests shorten it with the wait scale. In fast mode
  // it runs from the end of what would have been the prescribed wait.
  const qint64 limit = std::llround(kExpectLimitMs * platform::wait_scale()) +
                       (fast_ && ms > kFastFloorMs ? std::llround((ms - kFastFloorMs) * platform::wait_scale()) : 0);
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    if (!view) return Arrival::ended;
    const page::PageState state = page::probe_page(view, keys, selects);
    if (!alive() || !view) return Arrival::ended;
    const quint64 loads = view->loads_started();
    const Verdict v = judge(state, mark, loads, expect);
    // An action that may post back: the page of before is its answer only once no load
    // has begun for a moment.
    const qint64 settle_left =
        expect.since == Expect::Since::load_if_any && loads == mark.loads ? kLoadSettleMs - since_action.elapsed() : 0;
    if (v.holds && settle_left > 0) {
      if (!waited(static_cast<int>(std::min<qint64>(settle_left, fast_ ? kFastPollMs : kPollMs)), false))
        return Arrival::ended;
      continue;
    }
    if (v.holds && (!fast_ || platform::WebPage::open_dialogs() == 0)) return Arrival::arrived;
    if (v.login) {
      expire_login();
      return Arrival::login_expired;
    }
    if (stopped_ && stopped_()) return Arrival::stopped;
    if (clock.elapsed() >= limit) {
      not_done(describe_miss(expect, v.found));
      return Arrival::missing;
    }
    if (!waited(fast_ ? kFastPollMs : kPollMs, false)) return Arrival::ended;
  }
}

void ToolRun::not_done(const QString& why) {
  last_problem_ = why;
  if (record_) record_->item_not_done(why);
  if (status_ && window_exists()) status_(why);
}

void ToolRun::nothing_to_act_on(const QString& what) { not_done(QStringLiteral("页面上没有") + what); }

void ToolRun::expire_login() {
  login_expired_ = true;
  last_problem_ = login_expired_text();
  if (record_) {
    record_->item_not_done(login_expired_text());
    record_->end(journal::Ending::login_expired);
  }
  if (status_ && window_exists()) status_(login_expired_text());
  // Told once the run is back in the event loop, so that its window is idle by then.
  const QPointer<QWidget> owner = owner_;
  QTimer::singleShot(0, [owner] {
    if (!owner) return;
    auto* box = new QMessageBox(QMessageBox::Warning, platform::kTitleHint, login_expired_text(), QMessageBox::Ok,
                                owner->window());
    box->button(QMessageBox::Ok)->setText(platform::kOkCaption);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
  });
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
