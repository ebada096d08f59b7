#pragma once
// The base of the tool windows and the run helper that lives on a tool window's stack.
//
// A tool's long task runs inside the handler of the control that starts it, as plain
// steps separated by waits that keep processing events. While such a run is on the
// window's stack the window must not be deleted: a close then only marks the window
// (the run sees it at its next wait and ends), and the window goes when its last run
// returns. The run also owns the browser's input gate: taken off by the run, it comes
// back however the run ends.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

#include "tools/common/page_expect.h"

namespace platform { class BrowserView; }
namespace tools::journal { class Run; }

namespace tools {

class ToolContext;

class ToolWindow : public QWidget {
  Q_OBJECT
 public:
  // A top-level window without owner, deleted when closed.
  explicit ToolWindow(ToolContext& ctx);
  ~ToolWindow() override;

  ToolContext& context() const { return ctx_; }
  // A run is on this window's stack.
  bool running() const { return runs_ > 0; }
  // The window was closed while a run was on its stack.
  bool closing() const { return closing_; }

  // Runs the window's closing work (on_closing) now, once. The main window calls this
  // for every open tool window before the process ends.
  void shut_down();
  static void shut_down_all();

 protected:
  // What the window does when it goes, whichever way (close, process end, deletion):
  // stop its timers and confirmers, save what it keeps. Runs once. Windows whose
  // destructor may run without a close call shut_down() there themselves.
  virtual void on_closing() {}
  void closeEvent(QCloseEvent* event) override;
  // The title carries "（快速）" while fast mode is on (windows that run no steps opt out).
  void changeEvent(QEvent* event) override;
  void set_shows_run_mode(bool shows);

 private:
  friend class ToolRun;
  ToolContext& ctx_;
  int runs_ = 0;
  bool closing_ = false;
  bool shut_down_ = false;
  bool shows_run_mode_ = true;
  bool retitling_ = false;
};

class ToolRun {
 public:
  // A run on owner's stack: a tool window (its close ends the run), or another window
  // whose handler runs steps, such as the main window. browser is the browser whose
  // user input the run may take off (may be null).
  explicit ToolRun(QWidget* owner, platform::BrowserView* browser = nullptr);
  ~ToolRun();
  ToolRun(const ToolRun&) = delete;
  ToolRun& operator=(const ToolRun&) = delete;

  // The waits of the steps. False when the run is to end now: the window was closed or
  // is gone (the caller then returns without touching the window). In fast mode a step's
  // wait only keeps the floor (kFastFloorMs) since the last page-changing action (a
  // wait_for) of any run: steps that only fill a page do not add a floor of their own.
  bool wait(int ms);   // responsive: every event is processed
  bool pause(int ms);  // blocking: user input waits until the pause is over
  // How long wait(ms) or pause(ms) would last if it began now.
  int wait_length(int ms) const;
  // A wait the user set (not pacing): as long in fast mode as in paced mode.
  bool hold(int ms);
  // The run goes in fast mode (the mode in force when it began).
  bool fast() const { return fast_; }

  // ---- Steps that change the page
  // A step that changes the page marks the documents shown before its action, and after
  // its prescribed wait waits (responsively, up to kExpectLimitMs) until the page it
  // expects is there. A page that does not come ends the step's item as not done: the
  // journal records what was expected and found, the status line says so. The platform's
  // login page instead ends the run: the journal ends it as login_expired and the status
  // line and a message box tell the user to log in again.
  //
  // Where misses are told and recorded; the run's stop flag (a stop ends a page wait).
  void report_to(journal::Run* record, std::function<void(const QString&)> status);
  void stop_when(std::function<bool()> stopped);
  // The browser the steps work on (the one given at construction when null).
  PageMark mark(platform::BrowserView* browser = nullptr) const;
  enum class Kind { responsive, blocking };
  // The prescribed wait of kind, then until expect holds (browser: as for mark).
  Arrival wait_for(int ms, const PageMark& mark, const Expect& expect, Kind kind = Kind::responsive,
                   platform::BrowserView* browser = nullptr);
  // The page shown now held against expect once, without waiting: arrived; login_expired
  // (the run ended as wait_for ends it); or missing, with nothing recorded (the caller
  // decides what that means).
  Arrival look(const PageMark& mark, const Expect& expect, platform::BrowserView* browser = nullptr);
  // An action found nothing to act on (no such link, button, box): its item is not done at
  // once, without a page wait.
  void nothing_to_act_on(const QString& what);
  // The item in progress could not be done for why (told and recorded like a miss).
  void not_done(const QString& why);
  // The last miss (empty when none).
  const QString& last_problem() const { return last_problem_; }
  // The login page came: the run was ended in the journal; the message box is shown once
  // the run has returned to the event loop.
  bool login_expired() const { return login_expired_; }
  // The owner is there and was not closed during the run.
  bool alive() const;
  // The owner is there (also while closing): its members may be touched.
  bool window_exists() const { return !owner_.isNull(); }

  // Takes the browser's user input off; it comes back when the run ends, unless the
  // run hands the gate over with keep_browser_disabled() (the window or a later run
  // gives it back). Closing the window always gives it back.
  void disable_browser_input();
  void enable_browser_input();
  void keep_browser_disabled() { keep_disabled_ = true; }

 private:
  void expire_login();
  bool waited(int ms, bool blocking);
  void watch_boxes_of(platform::BrowserView* browser);

  QPointer<QWidget> owner_;
  QPointer<ToolWindow> window_;  // owner_ when it is a tool window
  QPointer<platform::BrowserView> browser_;
  bool took_input_ = false;
  bool keep_disabled_ = false;
  journal::Run* record_ = nullptr;
  std::function<void(const QString&)> status_;
  std::function<bool()> stopped_;
  QString last_problem_;
  bool login_expired_ = false;
  bool fast_ = false;
  QObject* box_watch_ = nullptr;  // fast mode: confirms the run's boxes as they open
  std::vector<QPointer<platform::BrowserView>> box_browsers_;
};

// What the status line says when the platform's login page came instead.
QString login_expired_text();  // "登录已失效，请在主程序重新登录"


}  // namespace tools
