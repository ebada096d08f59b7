// Wall time of three product rows with real waits against the waits they prescribe
// (3 x (2000 + 3000 + 1000 + 5000) ms = 33 s), and how long the platform's message boxes
// stayed open until the confirmer (700 ms) pressed them. Run under Xvfb.
//
// --slow: a list of twenty rows (19 on page 1, the page turn, row 1 of page 2) to its end on
// a line of 2500 ± 200 ms, against the prescribed waits plus one latency per page-changing
// step (the row's link, "确认添加", btnSubmit; the page turn): 20 x 11 s + 61 x 2.5 s.

#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <cstring>

#include "demo_bench.h"
#include "platform/browser_view.h"
#include "product_list_demo.h"
#include "tools/pricing/pricing_window.h"

int main(int argc, char** argv) {
  const bool slow = argc > 1 && std::strcmp(argv[1], "--slow") == 0;
  bench::DemoBench b(argc, argv);
  if (!b.ready()) return 1;
  platform::BrowserView* browser = b.ctx().main_browser();
  if (!harness::shape_list(b.demo(), 0, slow ? 20 : 25, 19, true) ||
      !harness::load(browser, QString(harness::kDemoRoot) + "/SelfProduct/SelfProductList.aspx")) {
    fprintf(stderr, "the product list did not load\n");
    return 1;
  }
  harness::script_load(browser, "__doPostBack('lbtn22','')");
  if (slow) b.demo().post("/demo/latency", "latency=2500&jitter=200");

  const int rows = slow ? 20 : 3;
  auto* w = new tools::pricing::PricingWindow(b.ctx());
  w->show();
  // Stopped as row 3 begins: that row still finishes. The slow run ends with its list.
  if (!slow)
    QObject::connect(w, &tools::pricing::PricingWindow::row_started, w, [w](int row, int) {
      if (row == 3) QTimer::singleShot(0, w->controls().stop, &QPushButton::click);
    });
  const qint64 box_before = platform::WebPage::box_time_ms();
  const double wall =
      bench::timed_run(w->controls().start, w, &tools::pricing::PricingWindow::run_finished, slow ? 900000 : 120000);
  const double boxes = (platform::WebPage::box_time_ms() - box_before) / 1000.0;
  const int priced = harness::demo_state(b.demo())["price_sets"].toArray().size();
  printf("rows priced: %d of %d\n", priced, rows);
  const double prescribed = rows * 11000 / 1000.0;
  if (slow) {
    printf("line of 2500 ms; against the prescribed waits plus one latency per page-changing step:\n");
    bench::print_ratio(wall, prescribed + (rows * 3 + 1) * 2.5, boxes);
    printf("against the prescribed waits alone: ");
  }
  bench::print_ratio(wall, prescribed, boxes);
  w->close();
  return priced == rows ? 0 : 2;
}
