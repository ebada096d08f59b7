// Wall time of a template analysis over 100 pages (2,000 products, 20 a page) with real
// waits against the waits it prescribes (101 passes x (3000 + 1000) ms = 404 s), and the
// memory of this process and its children (the browser's processes) at page 1 and at
// page 100. Run under Xvfb; arguments: [pages] [products per page].
//
// "apply [products] [latency ms]": the wall time of applying a top-up type (vendor and
// template) to that many products (20) against the waits it prescribes (5600 ms each), on
// a demo whose answers take latency ms (0); with latency, also against those waits plus
// one latency per page that changes (the template page, the radio's and the vendor's
// post-backs, the answer to the submission: 4 a product).

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>

#include <string>

#include "demo_bench.h"
#include "process_memory.h"
#include "tools/templates/templates_window.h"

namespace {

using bench::process_tree;
using bench::rollup_kb;

struct Memory {
  long pss_kb = 0;
  long rss_kb = 0;
  long self_rss_kb = 0;
};

Memory measure(int demo_pid) {
  Memory m;
  for (int pid : process_tree(getpid())) {
    if (pid == demo_pid) continue;  // the demo server is not the application
    m.pss_kb += rollup_kb(pid, "Pss:");
    m.rss_kb += rollup_kb(pid, "Rss:");
  }
  m.self_rss_kb = rollup_kb(getpid(), "Rss:");
  return m;
}

}  // namespace

// The user's choice in a list.
bool choose(tools::templates::TemplatesWindow* w, QComboBox* list, int index) {
  QSignalSpy done(w, &tools::templates::TemplatesWindow::choice_finished);
  list->setCurrentIndex(index);
  QTimer::singleShot(0, list, [list, index] { emit list->activated(index); });
  return harness::wait_until([&] { return done.count() > 0; }, 120000);
}

int apply_bench(int argc, char** argv) {
  const int products = argc > 2 ? std::atoi(argv[2]) : 20;
  const int latency = argc > 3 ? std::atoi(argv[3]) : 0;
  bench::DemoBench b(argc, argv, {"--products", std::to_string(products)});
  if (!b.ready()) return 1;
  // One page without pager: one pass, every product once.
  b.demo().post("/demo/product-list",
                "products=" + std::to_string(products) + "&page_size=" + std::to_string(products) + "&pager=0");
  using tools::templates::TemplatesWindow;
  auto* w = new TemplatesWindow(b.ctx());
  w->show();
  harness::wait_until([] { return false; }, 2000);  // the list loads
  QSignalSpy analysed(w, &TemplatesWindow::analysis_finished);
  QTimer::singleShot(0, w->controls().analyse, &QPushButton::click);
  if (!harness::wait_until([&] { return analysed.count() > 0; }, 60000) || !w->controls().start->isEnabled()) {
    std::fprintf(stderr, "analysis failed\n");
    return 1;
  }
  // "接口直冲", the 4th vendor, the 2nd template.
  const auto& c = w->controls();
  if (!choose(w, c.types, 5) || !choose(w, c.vendors, 3) || !choose(w, c.templates, 1)) return 1;
  b.demo().post("/demo/latency", "latency=" + std::to_string(latency) + "&jitter=0");

  const double wall = bench::timed_run(c.start, w, &TemplatesWindow::applying_finished, products * 60000 + 60000);
  harness::wait_until([] { return false; }, latency + 500);  // the last answer is recorded
  int set = 0;
  const QJsonArray settings = harness::demo_state(b.demo())["templates"].toObject()["settings"].toArray();
  for (const QJsonValue& v : settings)
    if (v.toObject()["radio"].toInt() == 6 && v.toObject()["vendor_option"].toInt() == 4 &&
        v.toObject()["template_option"].toInt() == 2)
      ++set;
  printf("products %d, latency %d ms: set as chosen %d\n", products, latency, set);
  if (set != products && !settings.isEmpty())
    printf("first setting: %s\n", QJsonDocument(settings[0].toObject()).toJson(QJsonDocument::Compact).constData());
  const double prescribed = products * 5.6;
  bench::print_ratio(wall, prescribed);
  if (latency > 0) {
    const double with_latency = prescribed + products * 4 * latency / 1000.0;
    printf("against the prescribed waits plus 4 latencies a product (%.2f s): ratio %.4f\n", with_latency,
           wall / with_latency);
  }
  w->close();
  return set == products ? 0 : 2;
}

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "apply") return apply_bench(argc, argv);
  const int pages = argc > 1 ? std::atoi(argv[1]) : 100;
  const int per_page = argc > 2 ? std::atoi(argv[2]) : 20;
  bench::DemoBench b(argc, argv,
                     {"--products", std::to_string(pages * per_page), "--page-size", std::to_string(per_page)});
  if (!b.ready()) return 1;
  auto* w = new tools::templates::TemplatesWindow(b.ctx());
  w->show();
  harness::wait_until([] { return false; }, 3000);  // the list loads

  // The demo's pid: the child process listening on its port is not ours to count.
  int demo_pid = -1;
  for (int pid : process_tree(getpid())) {
    QFile f(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (f.open(QIODevice::ReadOnly) && f.readAll().contains("tessaro-demo")) demo_pid = pid;
  }

  // Memory at page 1, at page 100 and at a few pages in between (the curve shows
  // whether anything grows with the pages walked).
  Memory first, last;
  std::vector<std::pair<int, Memory>> samples;
  const QString prefix = QStringLiteral("正在分析第");
  QObject::connect(w, &tools::templates::TemplatesWindow::status_text_changed, [&](const QString& t) {
    if (!t.startsWith(prefix)) return;
    const int page = t.mid(prefix.size()).chopped(1).toInt();
    if (page == 1 || page == pages || page % 10 == 0 || page == 2 || page == 5) {
      samples.emplace_back(page, measure(demo_pid));
      if (page == 1) first = samples.back().second;
      if (page == pages) last = samples.back().second;
    }
  });
  const double wall = bench::timed_run(w->controls().analyse, w, &tools::templates::TemplatesWindow::analysis_finished,
                                       (pages + 1) * 4000 + 600000);
  const std::size_t links = w->links().size();
  const std::size_t expected = static_cast<std::size_t>((pages + 1) * per_page);
  printf("pages %d, products %d, links collected %zu of %zu\n", pages, pages * per_page, links, expected);
  bench::print_ratio(wall, (pages + 1) * 4.0);
  printf("memory at page 1:   PSS %ld KB (tree), RSS %ld KB (tree), RSS %ld KB (this process)\n", first.pss_kb,
         first.rss_kb, first.self_rss_kb);
  printf("memory at page %d: PSS %ld KB (tree), RSS %ld KB (tree), RSS %ld KB (this process)\n", pages, last.pss_kb,
         last.rss_kb, last.self_rss_kb);
  for (const auto& [page, m] : samples)
    printf("  page %3d: PSS %ld KB, RSS %ld KB (tree), RSS %ld KB (this process)\n", page, m.pss_kb, m.rss_kb,
           m.self_rss_kb);
  if (first.pss_kb > 0)
    printf("PSS growth page 1 -> %d: %+.1f%%\n", pages, (double(last.pss_kb) / double(first.pss_kb) - 1) * 100);

  // Baseline in the same process: the same post-backs without the tool (each page's
  // load awaited, no collection), to tell the engine's own growth from the tool's.
  w->close();
  platform::BrowserView* view = b.ctx().main_browser();
  harness::load(view, QString(harness::kDemoRoot) + "/SelfProduct/SelfProductList.aspx");
  harness::wait_until([] { return false; }, 1000);
  const Memory base_first = measure(demo_pid);
  for (int i = 1; i <= pages + 1; ++i) {
    harness::script_load(view, QStringLiteral("__doPostBack('AspNetPager1','%1')").arg(i), 15000);
    harness::wait_until([] { return false; }, 100);
  }
  harness::wait_until([] { return false; }, 1000);
  const Memory base_last = measure(demo_pid);
  printf("baseline, the same %d post-backs without the tool: PSS %ld -> %ld KB (%+.1f%%), RSS %ld -> %ld KB (tree)\n",
         pages + 1, base_first.pss_kb, base_last.pss_kb,
         base_first.pss_kb > 0 ? (double(base_last.pss_kb) / double(base_first.pss_kb) - 1) * 100 : 0.0,
         base_first.rss_kb, base_last.rss_kb);
  return links == expected ? 0 : 2;
}
