#pragma once
// What the tool windows' end-to-end tests and benchmarks share: a ToolContext over a
// plain BrowserView, waits, page scripts, a login into the demo back office.

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
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
#include "tools/common/tool_context.h"

namespace harness {

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
  std::string exe_dir() const override { return exe_dir_; }
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

// Logs into the demo (started with --captcha 1234) through its login form.
inline bool log_in(platform::BrowserView* view, const std::string& base) {
  if (!load(view, QString::fromStdString(base + "/Login.aspx"))) return false;
  QSignalSpy spy(view, &QWebEngineView::loadFinished);
  page_script(view,
              "document.getElementById('UserName').value='demo';"
              "document.getElementById('Password2').value='demo123';"
              "document.getElementById('Theme1_txtCheckCode').value='1234';"
              "document.getElementById('Theme1_btnLogin').click(); true");
  if (!wait_until([&] { return spy.count() > 0; })) return false;
  return view->url().path().endsWith(QStringLiteral("Index.aspx"));
}

inline QJsonArray demo_products(const testsupport::DemoProcess& demo) {
  const std::string body = demo.get("/demo/state.json");
  return QJsonDocument::fromJson(QByteArray::fromStdString(body)).object().value("products").toArray();
}

}  // namespace harness
