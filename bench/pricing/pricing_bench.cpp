// Wall time of three product rows with real waits against the waits they prescribe
// (3 x (2000 + 3000 + 1000 + 5000) ms = 33 s), and how long the platform's message boxes
// stayed open until the confirmer (700 ms) pressed them. Run under Xvfb.

#include <QPushButton>
#include <QTimer>

#include <cstdio>

#include "demo_bench.h"
#include "platform/browser_view.h"
#include "product_list_demo.h"
#include "tools/pricing/pricing_window.h"

int main(int argc, char** argv) {
  bench::DemoBench b(argc, argv);
  if (!b.ready()) return 1;
  platform::BrowserView* browser = b.ctx().main_browser();
  if (!harness::shape_list(b.demo(), 0, 25, 19, true) ||
      !harness::load(browser, QString(harness::kDemoRoot) + "/SelfProduct/SelfProductList.aspx")) {
    fprintf(stderr, "the product list did not load\n");
    return 1;
  }
  harness::script_load(browser, "__doPostBack('lbtn22','')");

  auto* w = new tools::pricing::PricingWindow(b.ctx());
  w->show();
  QObject::connect(w, &tools::pricing::PricingWindow::row_started, w, [w](int row, int) {
    if (row == 3) QTimer::singleShot(0, w->controls().stop, &QPushButton::click);
  });
  const qint64 box_before = platform::WebPage::box_time_ms();
  const double wall = bench::timed_run(w->controls().start, w, &tools::pricing::PricingWindow::run_finished, 120000);
  const double boxes = (platform::WebPage::box_time_ms() - box_before) / 1000.0;
  const int priced = harness::demo_state(b.demo())["price_sets"].toArray().size();
  printf("rows priced: %d of 3\n", priced);
  bench::print_ratio(wall, 3 * 11000 / 1000.0, boxes);
  w->close();
  return priced == 3 ? 0 : 2;
}
