#pragma once
// What the tool windows' end-to-end tests and benchmarks share: a ToolContext over a
// plain BrowserView, waits, page scripts, a login into the demo back office, what the
// demo recorded, and small helpers over widgets.

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "demo_process.h"
#include "page/page_objects.h"
#include "platform/browser_view.h"
#include "platform/dom_bridge.h"
#include "platform/gbk.h"
#include "settings/settings.h"
#include "tools/common/tool_context.h"

namespace harness {

// Where the browser reaches the demo back office (its host name mapped by the test).
inline constexpr char kDemoRoot[] = "http://demo.example.com";

class TestContext : public tools::ToolContext {
 public:
  TestContext() {
    host_ = std::make_unique<QWidget>();
    host_->setWindowTitle(QStringLiteral("浏览器"));
    auto* layout = new QVBoxLayout(host_.get());
    layout->setContentsMargins(0, 0, 0, 0);
    browser_ = new platform::BrowserView(host_.get());
    layout->addWidget(browser_);
    host_->resize(1000, 760);
    host_->show();
  }
  QString main_title() const override { return QStringLiteral("Quillory-TessaroV4.3正式版"); }
  // The test's folder stands for the executable's; its data directory is the portable one.
  std::string data_dir() const override { return settings::portable_data_dir(exe_dir_); }
  std::string address_text() const override { return address_; }
  void set_address_text(const std::string& text) override { address_ = text; }
  platform::BrowserView* main_browser() override { return browser_.data(); }
  page::PageObjects& pages() override { return pages_; }

  void set_exe_dir(const std::string& dir) { exe_dir_ = dir; }
  QWidget* host() const { return host_.get(); }
  // What the main window's going does to the tools: the browser and its window are
  // deleted (main_browser() is null from then on).
  void close_browser() { host_.reset(); }

 private:
  std::unique_ptr<QWidget> host_;
  QPointer<platform::BrowserView> browser_;
  page::PageObjects pages_;
  std::string exe_dir_ = "/tmp";
  std::string address_;
};

// Waits until cond() holds, processing events; false after timeout_ms.
inline bool wait_until(const std::function<bool()>& cond, int timeout_ms = 10000) {
  QElapsedTimer t;
  t.start();
  while (!cond()) {
    if (t.elapsed() > timeout_ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// Navigates and waits for the load to finish.
inline bool load(platform::BrowserView* view, const QString& address, int timeout_ms = 15000) {
  QSignalSpy spy(view, &QWebEngineView::loadFinished);
  view->navigate(address);
  return wait_until([&] { return spy.count() > 0; }, timeout_ms);
}

// Script in the page's main world, result as a JSON value.
inline QJsonValue page_script(platform::BrowserView* view, const QString& script) {
  bool ok = false;
  QJsonValue v = view->bridge().run_main_world(script, &ok, 5000);
  return ok ? v : QJsonValue();
}

// Runs script in the page's main world and waits for the load it starts (a post-back,
// a form's submission).
inline bool script_load(platform::BrowserView* view, const QString& script, int timeout_ms = 10000) {
  QSignalSpy spy(view, &QWebEngineView::loadFinished);
  page_script(view, script + "; true");
  return wait_until([&] { return spy.count() > 0; }, timeout_ms);
}

// Logs into the demo (started with --captcha 1234) through its login form.
inline bool log_in(platform::BrowserView* view, const std::string& base) {
  if (!load(view, QString::fromStdString(base + "/Login.aspx"))) return false;
  if (!script_load(view,
                   "document.getElementById('UserName').value='demo';"
                   "document.getElementById('Password2').value='demo123';"
                   "document.getElementById('Theme1_txtCheckCode').value='1234';"
                   "document.getElementById('Theme1_btnLogin').click()"))
    return false;
  return view->url().path().endsWith(QStringLiteral("Index.aspx"));
}

// Everything the demo recorded (its /demo/state.json).
inline QJsonObject demo_state(const testsupport::DemoProcess& demo) {
  return QJsonDocument::fromJson(QByteArray::fromStdString(demo.get("/demo/state.json"))).object();
}

inline QJsonArray demo_products(const testsupport::DemoProcess& demo) {
  return demo_state(demo).value("products").toArray();
}

// A UTF-8 literal as a QString.
inline QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// What assistive tools read as the widget's name.
inline QString spoken_name(QObject* o) {
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
  return a ? a->text(QAccessible::Name) : QString();
}

// The objects the application holds: every top-level widget with its descendants, and the
// application object's children. A count that rises with every cycle of a long run is
// something made per cycle and never freed.
inline int object_census() {
  int n = 0;
  for (QWidget* w : QApplication::topLevelWidgets()) n += 1 + static_cast<int>(w->findChildren<QObject*>().size());
  return n + static_cast<int>(qApp->findChildren<QObject*>().size());
}

// A click on a check box's indicator (its middle may lie beyond its text).
inline void tick(QCheckBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2)); }

// The last top-level window of type W that accept takes (any, without accept), or null.
template <class W>
W* top_level(const std::function<bool(W*)>& accept = {}) {
  W* found = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* w = qobject_cast<W*>(t); w && (!accept || accept(w))) found = w;
  return found;
}

// Closes every top-level window of the types Windows and waits until each is deleted (a
// window closed during a run goes when the run returns); false after timeout_ms.
template <class... Windows>
bool close_windows(int timeout_ms = 10000) {
  auto ours = []([[maybe_unused]] QWidget* w) { return (false || ... || (qobject_cast<Windows*>(w) != nullptr)); };
  QList<QPointer<QWidget>> open;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (ours(w)) open << w;
  for (const QPointer<QWidget>& w : open)
    if (w) w->close();
  return wait_until(
      [&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QWidget* w : QApplication::topLevelWidgets())
          if (ours(w)) return false;
        return true;
      },
      timeout_ms);
}

// Clicks button from the event loop (a run inside the click does not block the caller)
// and waits until sender emitted signal count times; false after timeout_ms.
template <class Sender, class Signal>
bool click_until(QAbstractButton* button, Sender* sender, Signal signal, int timeout_ms, int count = 1) {
  QSignalSpy spy(sender, signal);
  QTimer::singleShot(0, button, &QAbstractButton::click);
  return wait_until([&] { return spy.count() >= count; }, timeout_ms);
}

}  // namespace harness
