// Wall time of a 20-product run with real waits against the waits it prescribes
// (20 x 3000 + 19 x 6000 + 3000 ms = 177 s). Run under Xvfb.

#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>

#include "demo_bench.h"
#include "tools/publishing/publishing_window.h"

int main(int argc, char** argv) {
  bench::DemoBench b(argc, argv);
  if (!b.ready()) return 1;
  constexpr int kProducts = 20;
  auto* w = new tools::publishing::PublishingWindow(b.ctx());
  QString names;
  for (int i = 1; i <= kProducts; ++i) names += QStringLiteral("测速商品%1\n").arg(i);
  w->controls().names->setPlainText(names);
  w->show();
  harness::wait_until([] { return false; }, 2000);  // the add form loads

  const double wall =
      bench::timed_run(w->controls().start, w, &tools::publishing::PublishingWindow::run_finished, 400000);
  const int stored = harness::demo_products(b.demo()).size();
  printf("products stored: %d of %d\n", stored, kProducts);
  bench::print_ratio(wall, (kProducts * 3000 + (kProducts - 1) * 6000 + 3000) / 1000.0);
  w->close();
  return stored == kProducts ? 0 : 2;
}
