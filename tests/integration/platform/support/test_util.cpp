#include "test_util.h"

#include <httplib.h>

#include <QEventLoop>
#include <QPointer>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <thread>

namespace testutil {

struct FixtureServer::Thread {
  std::thread t;
};

FixtureServer::FixtureServer() : server_(std::make_unique<httplib::Server>()) {
  auto& s = *server_;
  s.Get("/page", [](const httplib::Request& req, httplib::Response& res) {
    const std::string title = req.has_param("title") ? req.get_param_value("title") : "page";
    const std::string body = req.has_param("body") ? req.get_param_value("body") : "";
    res.set_content("<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title +
                        "</title></head><body>" + body + "</body></html>",
                    "text/html; charset=utf-8");
  });
  s.Get("/set-cookie", [](const httplib::Request& req, httplib::Response& res) {
    res.set_header("Set-Cookie", "sid=" + req.get_param_value("v") + "; Max-Age=3600; Path=/");
    res.set_content("<html><head><title>set</title></head><body>set</body></html>",
                    "text/html");
  });
  s.Get("/echo-cookie", [](const httplib::Request& req, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content("<html><head><title>echo</title></head><body id=\"c\">" +
                        req.get_header_value("Cookie") + "</body></html>",
                    "text/html");
  });
  port_ = s.bind_to_any_port("127.0.0.1");
  thread_ = std::make_unique<Thread>();
  thread_->t = std::thread([this] { server_->listen_after_bind(); });
  while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FixtureServer::~FixtureServer() {
  server_->stop();
  if (thread_->t.joinable()) thread_->t.join();
}

QString FixtureServer::url(const QString& path) const {
  return QStringLiteral("http://127.0.0.1:%1%2").arg(port_).arg(path);
}

bool wait_load(QWebEngineView* view, int timeout_ms) {
  QEventLoop loop;
  bool done = false;
  auto c = QObject::connect(view, &QWebEngineView::loadFinished, &loop, [&](bool) {
    done = true;
    loop.quit();
  });
  QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
  loop.exec();
  QObject::disconnect(c);
  return done;
}

QVariant run_js(QWebEnginePage* page, const QString& script, int timeout_ms, bool* ok) {
  QEventLoop loop;
  auto result = std::make_shared<QVariant>();
  auto done = std::make_shared<bool>(false);
  QPointer<QEventLoop> lp(&loop);
  page->runJavaScript(script, [result, done, lp](const QVariant& v) {
    *result = v;
    *done = true;
    if (lp) lp->quit();
  });
  QTimer::singleShot(timeout_ms, &loop, &QEventLoop::quit);
  if (!*done) loop.exec();
  if (ok) *ok = *done;
  return *result;
}

}  // namespace testutil
