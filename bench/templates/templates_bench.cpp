// Wall time of a template analysis over 100 pages (2,000 products, 20 a page) with real
// waits against the waits it prescribes (101 passes x (3000 + 1000) ms = 404 s), and the
// memory of this process and its children (the browser's processes) at page 1 and at
// page 100. Run under Xvfb; arguments: [pages] [products per page].

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

#include "demo_bench.h"
#include "tools/templates/templates_window.h"

namespace {

// Kilobytes of one /proc/PID/smaps_rollup line ("Pss:" or "Rss:").
long rollup_kb(int pid, const char* key) {
  QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
  if (!f.open(QIODevice::ReadOnly)) return 0;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith(key)) return line.mid(static_cast<int>(strlen(key))).trimmed().split(' ').value(0).toLong();
  return 0;
}

// This process and every descendant (by parent id in /proc/PID/stat).
std::vector<int> process_tree(int root) {
  std::vector<std::pair<int, int>> all;  // pid, parent
  for (const QString& name : QDir("/proc").entryList(QDir::Dirs)) {
    bool ok = false;
    const int pid = name.toInt(&ok);
    if (!ok) continue;
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) continue;
    const QByteArray stat = f.readAll();
    const int close = stat.lastIndexOf(')');
    const QList<QByteArray> rest = stat.mid(close + 2).split(' ');
    if (rest.size() > 1) all.emplace_back(pid, rest[1].toInt());
  }
  std::vector<int> tree = {root};
  for (std::size_t i = 0; i < tree.size(); ++i)
    for (const auto& [pid, parent] : all)
      if (parent == tree[i]) tree.push_back(pid);
  return tree;
}

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

int main(int argc, char** argv) {
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
