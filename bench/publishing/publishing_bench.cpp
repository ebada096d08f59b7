// Wall time of a 20-product run with real waits against the waits it prescribes
// (20 x 3000 + 19 x 6000 + 3000 ms = 177 s). Run under Xvfb.

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "tool_harness.h"
#include "tools/publishing/publishing_window.h"

int main(int argc, char** argv) {
  setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
  testsupport::DemoProcess demo;
  if (!demo.start({"--captcha", "1234"})) {
    fprintf(stderr, "demo did not start\n");
    return 1;
  }
  const std::string flags = "--disable-gpu --no-sandbox " + demo.host_rule();
  setenv("QTWEBENGINE_CHROMIUM_FLAGS", flags.c_str(), 1);
  QApplication app(argc, argv);
  QTemporaryDir dir;
  harness::TestContext ctx;
  ctx.set_exe_dir(dir.path().toStdString());
  if (!harness::log_in(ctx.main_browser(), "http://demo.example.com")) {
    fprintf(stderr, "login failed\n");
    return 1;
  }
  ctx.set_address_text("http://demo.example.com");
  constexpr int kProducts = 20;
  auto* w = new tools::publishing::PublishingWindow(ctx);
  QString names;
  for (int i = 1; i <= kProducts; ++i) names += QStringLiteral("测速商品%1\n").arg(i);
  w->controls().names->setPlainText(names);
  w->show();
  harness::wait_until([] { return false; }, 2000);  // the add form loads

  QSignalSpy finished(w, &tools::publishing::PublishingWindow::run_finished);
  QElapsedTimer clock;
  QTimer::singleShot(0, [&] {
    clock.start();
    w->controls().start->click();
  });
  harness::wait_until([&] { return finished.count() > 0; }, 400000);
  const double wall = clock.elapsed() / 1000.0;
  const double prescribed = (kProducts * 3000 + (kProducts - 1) * 6000 + 3000) / 1000.0;
  const int stored = harness::demo_products(demo).size();
  printf("products stored: %d of %d\n", stored, kProducts);
  printf("wall %.2f s, prescribed waits %.2f s, ratio %.4f (+%.2f%%)\n", wall, prescribed, wall / prescribed,
         (wall / prescribed - 1) * 100);
  w->close();
  return stored == kProducts ? 0 : 2;
}
