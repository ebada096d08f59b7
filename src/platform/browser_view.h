#pragma once
// The embedded browser: a QWebEngineView on the application's one persistent profile,
// so every browser of the application shares the platform login.

#include <QElapsedTimer>
#include <QPointer>
#include <QString>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

class QWebEngineProfile;

namespace platform {

class DomBridge;

// The shared persistent profile (created on first use, lives until the process ends).
QWebEngineProfile* shared_profile();

// Page whose script message boxes are boxes titled "来自网页的消息" with "确定" (and
// "取消" for confirm and prompt), modal to the window that holds the page's browser only:
// the application's other windows stay usable while one is open.
class WebPage : public QWebEnginePage {
  Q_OBJECT
 public:
  explicit WebPage(QWebEngineProfile* profile, QObject* parent = nullptr);
  // Script message boxes of all pages. While one is open the engine holds back the
  // answers of every page (the box runs inside one of its tasks), so none opens inside
  // another one's loop except from the application's own code.
  // Open right now (nested calls wait on them):
  static int open_dialogs();
  // Milliseconds during which a box was open, summed since the first box of the process
  // (the running interval included):
  static qint64 box_time_ms();
  // Boxes opened so far, and milliseconds since the last one opened (-1: none yet):
  static quint64 boxes_opened();
  static qint64 ms_since_box_opened();

 protected:
  void javaScriptAlert(const QUrl& origin, const QString& msg) override;
  bool javaScriptConfirm(const QUrl& origin, const QString& msg) override;
  bool javaScriptPrompt(const QUrl& origin, const QString& msg, const QString& def,
                        QString* result) override;
};

class BrowserView : public QWebEngineView {
  Q_OBJECT
 public:
  explicit BrowserView(QWidget* parent = nullptr);
  ~BrowserView() override;

  // Navigates to address as typed (no scheme: "http://" is assumed; empty: about:blank).
  void navigate(const QString& address);
  QString current_address() const;
  void go_back();
  void go_forward();
  // 4 when the document is completely loaded, 1 while loading, 0 before any load.
  int ready_state() const;
  // Loads begun so far (main frame), and milliseconds since the last one began (-1: none).
  quint64 loads_started() const { return loads_started_; }
  qint64 ms_since_load_started() const;
  // Enables or disables user input on the control (automation still works).
  void set_input_enabled(bool enabled);
  bool input_enabled() const;

  WebPage* web_page() const;
  // The DOM bridge of this view (agent script in an isolated world).
  DomBridge& bridge();

 signals:
  void document_title_changed(const QString& title);

 private:
  int ready_state_ = 0;
  quint64 loads_started_ = 0;
  QElapsedTimer last_load_started_;
  DomBridge* bridge_ = nullptr;
  QObject* input_gate_ = nullptr;  // filters user input while it is disabled
};

}  // namespace platform
