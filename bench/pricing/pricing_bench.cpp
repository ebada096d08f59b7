// Wall time of three product rows with real waits against the waits they prescribe
// (3 x (2000 + 3000 + 1000 + 5000) ms = 33 s), and how long the platform's message boxes
// stayed open until the confirmer (700 ms) pressed them. Run under Xvfb.

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "platform/browser_view.h"
#include "product_list_demo.h"
#include "tools/pricing/pricing_window.h"

int main(int argc, char** argv) {
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  testsupport::DemoProcess demo;
  if (!demo.start({"--captcha", "1234"}) || !harness::shape_list(demo, 0, 25, 19, true)) {
    fprintf(stderr, "demo did not start\n");
    return 1;
  }
  const std::string flags = "--disable-gpu --no-sandbox " + demo.host_rule();
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
  QApplication app(argc, argv);
  QTemporaryDir dir;
  harness::TestContext ctx;
  ctx.set_exe_dir(dir.path().toStdString());
  platform::BrowserView* browser = ctx.main_browser();
  if (!harness::log_in(browser, "http://demo.example.com") ||
      !harness::load(browser, "http://demo.example.com/SelfProduct/SelfProductList.aspx")) {
    fprintf(stderr, "login failed\n");
    return 1;
  }
  QSignalSpy loaded(browser, &QWebEngineView::loadFinished);
  harness::page_script(browser, "__doPostBack('lbtn22',''); true");
  harness::wait_until([&] { return loaded.count() > 0; });
  ctx.set_address_text("http://demo.example.com");

  auto* w = new tools::pricing::PricingWindow(ctx);
  w->show();
  QObject::connect(w, &tools::pricing::PricingWindow::row_started, w, [w](int row, int) {
    if (row == 3) QTimer::singleShot(0, w->controls().stop, &QPushButton::click);
  });
  QSignalSpy finished(w, &tools::pricing::PricingWindow::run_finished);
  const qint64 box_before = platform::WebPage::box_time_ms();
  QElapsedTimer clock;
  QTimer::singleShot(0, [&] {
    clock.start();
    w->controls().start->click();
  });
  harness::wait_until([&] { return finished.count() > 0; }, 120000);
  const double wall = clock.elapsed() / 1000.0;
  const double boxes = (platform::WebPage::box_time_ms() - box_before) / 1000.0;
  const double prescribed = 3 * 11000 / 1000.0;
  const int priced = harness::demo_state(demo)["price_sets"].toArray().size();
  printf("rows priced: %d of 3\n", priced);
  printf("wall %.2f s, prescribed waits %.2f s, ratio %.4f (+%.2f%%); message boxes open %.2f s\n", wall, prescribed,
         wall / prescribed, (wall / prescribed - 1) * 100, boxes);
  w->close();
  return priced == 3 ? 0 : 2;
}
