// Wall time of an import of 20 products at a pace of 1 s with real waits against the waits
// it prescribes (20 x (1500 + 700 + 1000 + 5000) ms = 164 s). Run under Xvfb. With
// --latency MS (and --jitter MS) on a slow demo, against the prescribed waits plus one
// latency per page load: three per product (its form, the checked cards, the answer to
// the save). --products N for another count.

#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <cstdio>
#include <string>

#include "demo_bench.h"
#include "tools/cards/card_window.h"

int main(int argc, char** argv) {
  const int latency = bench::take_option(argc, argv, "--latency", 0);
  const int jitter = bench::take_option(argc, argv, "--jitter", 0);
  const int products = bench::take_option(argc, argv, "--products", 20);
  const std::string n = std::to_string(products);
  bench::DemoBench b(argc, argv,
                     {"--products", n, "--inventory-page-size", n, "--latency", std::to_string(latency), "--jitter",
                      std::to_string(jitter)});
  if (!b.ready()) return 1;
  // The inventory page, as the main window's button opens it.
  if (!harness::load(b.ctx().main_browser(), QString(harness::kDemoRoot) + "/SelfProduct/SelfProductInventory.aspx",
                     60000))
    return 1;
  auto* w = new tools::cards::CardWindow(b.ctx());
  QString lines;
  for (int i = 1; i <= products; ++i) lines += QStringLiteral("B%1-0001\n").arg(i);
  w->controls().content->setPlainText(lines);
  w->controls().pace->setText("1");
  w->show();

  const double wall = bench::timed_run(w->controls().confirm, w, &tools::cards::CardWindow::import_finished, 1800000);
  // Every product saved, with its own line.
  int saved = 0;
  for (const QJsonValue& v : harness::demo_state(b.demo())["card_imports"].toArray()) {
    const QJsonObject m = v.toObject();
    const int product = m["product"].toInt();
    saved += m["state"].toString() == "saved" && m["first_line"].toString() == QStringLiteral("B%1-0001").arg(product);
  }
  printf("products saved with their own line: %d of %d\n", saved, products);
  const double prescribed = products * (1500 + 700 + 1000 + 5000) / 1000.0;
  if (latency > 0)
    bench::print_slow_ratio(wall, prescribed, 3 * products, latency / 1000.0);
  else
    bench::print_ratio(wall, prescribed);
  w->close();
  return saved == products ? 0 : 2;
}
