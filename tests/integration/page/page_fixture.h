#pragma once
// Shared pieces of the page automation tests: a local HTTP server for fixture pages (so
// that frames, same-site and other-site cases are real), a browser view, and helpers.

#include <gtest/gtest.h>
#include <httplib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonValue>
#include <QSignalSpy>
#include <QTimer>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "platform/browser_view.h"
#include "platform/dom_bridge.h"
#include "platform/gbk.h"

namespace pagetest {

// Serves pages set by the tests; counts requests per path.
class FixtureServer {
 public:
  FixtureServer() {
    server_.Get(R"(/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
      std::lock_guard<std::mutex> lock(mutex_);
      ++hits_[req.path];
      auto it = pages_.find(req.path);
      if (it == pages_.end()) {
        res.status = 404;
        return;
      }
      res.set_content(it->second.body, it->second.type.c_str());
      res.set_header("Cache-Control", "no-store");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~FixtureServer() {
    server_.stop();
    if (thread_.joinable()) thread_.join();
  }
  void set(const std::string& path, const std::string& body,
           const std::string& type = "text/html; charset=utf-8") {
    std::lock_guard<std::mutex> lock(mutex_);
    pages_[path] = {body, type};
  }
  int hits(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return hits_[path];
  }
  // Same site: 127.0.0.1; another site: localhost (same port).
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  std::string other_site_url(const std::string& path) const {
    return "http://localhost:" + std::to_string(port_) + path;
  }

  static FixtureServer& instance() {
    static FixtureServer server;
    return server;
  }

 private:
  struct Page {
    std::string body, type;
  };
  httplib::Server server_;
  std::mutex mutex_;
  std::map<std::string, Page> pages_;
  std::map<std::string, int> hits_;
  int port_ = 0;
  std::thread thread_;
};

inline void wait_ms(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Loads url and waits for loadFinished (and a short settle).
inline bool load(platform::BrowserView& view, const std::string& url, int timeout_ms = 15000) {
  QSignalSpy spy(&view, &QWebEngineView::loadFinished);
  view.load(QUrl(QString::fromStdString(url)));
  if (!spy.wait(timeout_ms)) return false;
  wait_ms(20);
  return spy.takeFirst().value(0).toBool();
}

// Serves html under path on the fixture server and loads it.
inline bool show_page(platform::BrowserView& view, const std::string& path, const std::string& html) {
  FixtureServer::instance().set(path, html);
  return load(view, FixtureServer::instance().url(path));
}

// Evaluates a script in the page's own world.
inline QJsonValue eval(platform::BrowserView& view, const std::string& script) {
  bool ok = false;
  QJsonValue v = view.bridge().run_main_world(QString::fromStdString(script), &ok, 5000);
  return ok ? v : QJsonValue(QJsonValue::Undefined);
}
inline std::string eval_text(platform::BrowserView& view, const std::string& script) {
  return eval(view, script).toString().toStdString();
}

// A page around body whose handlers log through L(x) (which returns false).
inline std::string html(const std::string& body) {
  return "<!DOCTYPE html><html><head><meta charset=utf-8><script>var log=[];function L(x){log.push(x);return false;}"
         "</script></head><body>" + body + "</body></html>";
}

// What the page's handlers logged (frames log into the top page), comma-separated.
inline std::string log_of(platform::BrowserView& v) { return eval_text(v, "top.log.join(',')"); }

// UTF-8 literal to the core's GBK bytes.
inline std::string gbk(const char* utf8) { return platform::to_gbk(QString::fromUtf8(utf8)); }

// One shown browser view shared by the tests of a binary.
// (Deleted by tessaro_test_after_all, before the QApplication goes.)
inline platform::BrowserView*& shared_view_slot() {
  static platform::BrowserView* view = nullptr;
  return view;
}
inline platform::BrowserView& shared_view() {
  auto*& view = shared_view_slot();
  if (!view) {
    view = new platform::BrowserView;
    view->resize(1024, 768);
    view->show();
  }
  return *view;
}

}  // namespace pagetest
