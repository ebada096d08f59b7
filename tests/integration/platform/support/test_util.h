#pragma once
// Helpers for the platform and confirmer tests: a small local HTTP server and
// synchronous access to a page.

#include <QString>
#include <QVariant>

#include <memory>
#include <string>

namespace httplib {
class Server;
}
class QWebEngineView;
class QWebEnginePage;

namespace testutil {

// A local HTTP server on 127.0.0.1 (random port) serving fixed pages:
//   /page?title=T&body=B   an HTML page with that title and body
//   /set-cookie?v=V         sets the cookie sid=V (one hour) and shows a page
//   /echo-cookie            a page whose body is the Cookie header it received
class FixtureServer {
 public:
  FixtureServer();
  ~FixtureServer();
  int port() const { return port_; }
  QString url(const QString& path) const;  // "http://127.0.0.1:PORT" + path

 private:
  std::unique_ptr<httplib::Server> server_;
  int port_ = 0;
  struct Thread;
  std::unique_ptr<Thread> thread_;
};

// Waits (processing events) until the view's next loadFinished; false after timeout_ms.
bool wait_load(QWebEngineView* view, int timeout_ms = 10000);
// Runs script in the page's main world; waits for the result (invalid on time-out).
QVariant run_js(QWebEnginePage* page, const QString& script, int timeout_ms = 5000,
                bool* ok = nullptr);
// Processes events until pred() is true or timeout_ms passed; returns pred().
template <class Pred>
bool wait_until(Pred pred, int timeout_ms);

}  // namespace testutil

#include "test_util_impl.h"
