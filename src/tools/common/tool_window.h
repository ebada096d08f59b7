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
#include <QWidget>

namespace platform { class BrowserView; }

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

 private:
  friend class ToolRun;
  ToolContext& ctx_;
  int runs_ = 0;
  bool closing_ = false;
  bool shut_down_ = false;
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
  // is gone (the caller then returns without touching the window).
  bool wait(int ms);   // responsive: every event is processed
  bool pause(int ms);  // blocking: user input waits until the pause is over
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
  QPointer<QWidget> owner_;
  QPointer<ToolWindow> window_;  // owner_ when it is a tool window
  QPointer<platform::BrowserView> browser_;
  bool took_input_ = false;
  bool keep_disabled_ = false;
};

}  // namespace tools
