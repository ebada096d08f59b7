// Unattended for hours: the order watch for many cycles, a long publishing run and a long
// template walk, on the demo back office with the waits scaled, sampling every N items the
// memory of this process and of the engine's processes, the open file descriptors, the
// journal's files and its row counts. Prints a table and the growth from the warm-up point
// to the end. Run under Xvfb:
//   soak_bench orders [cycles=2000] [every=100] [order_every_ms=2000] [scale=0.05] [succeeded|processing|cancelled]
//   soak_bench publishing [names=1000] [every=100] [scale=0.05]
//   soak_bench templates [pages=100] [every=10] [scale=0.05]

#include <QAccessible>
#include <QDirIterator>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QWebEngineProfile>
#include <QRadioButton>
#include <QTimer>
#include <QWebEngineHistory>
#include <QPushButton>
#include <QStringList>

#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "demo_bench.h"
#include "page/confirmer.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/waits.h"
#include "process_memory.h"
#include "tools/common/journal.h"
#include "tools/orders/orders_window.h"
#include "tools/publishing/publishing_window.h"
#include "tools/templates/templates_window.h"

namespace {

long file_size(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : 0;
}

// Bytes of the files under dir.
long tree_size(const QString& dir) {
  long n = 0;
  QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
  while (it.hasNext()) n += it.nextFileInfo().size();
  return n;
}

long long count_rows(const std::string& db_path, const char* table) {
  sqlite3* db = nullptr;
  long long n = -1;
  if (sqlite3_open_v2(db_path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    const std::string sql = std::string("SELECT count(*) FROM ") + table;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
      n = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return n;
}

struct Sample {
  int at = 0;
  double seconds = 0;
  bench::ProcessMemory memory;
  long db = 0, wal = 0;
  long long items = 0, boxes = 0;
  int widgets = 0;  // QWidgets alive in this process
  long cache_kb = 0;  // the engine's HTTP cache on disk
  long sqlite_kb = 0;  // SQLite's heap in this process (the journal's page cache and statements)
};

class Sampler {
 public:
  Sampler(const std::string& journal, int demo_pid) : journal_(journal), demo_pid_(demo_pid) { clock_.start(); }
  void take(int at) {
    Sample s;
    s.at = at;
    s.seconds = clock_.elapsed() / 1000.0;
    s.memory = bench::process_memory(demo_pid_);
    s.db = file_size(journal_);
    s.wal = file_size(journal_ + "-wal");
    s.items = count_rows(journal_, "items");
    s.boxes = count_rows(journal_, "boxes");
    s.widgets = static_cast<int>(QApplication::allWidgets().size());
    s.cache_kb = tree_size(platform::shared_profile()->cachePath()) / 1024;
    s.sqlite_kb = static_cast<long>(sqlite3_memory_used() / 1024);
    samples_.push_back(s);
    std::printf("%7d %8.1f %10ld %10ld %9ld %7ld %11ld %4d %5d %10ld %10ld %8lld %8lld %7d %8ld\n", s.at, s.seconds,
                s.memory.main_pss_kb, s.memory.main_private_kb, s.memory.main_heap_kb, s.sqlite_kb, s.memory.engine_pss_kb,
                s.memory.engine_processes,
                s.memory.fds, s.db, s.wal, s.items, s.boxes, s.widgets, s.cache_kb);
    std::fflush(stdout);
  }
  static void header(const char* unit) {
    // The accessibility bridge (an AT-SPI bus with QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1) keeps
    // an interface per widget shown: the figures differ with it.
    std::printf("accessibility %s\n", QAccessible::isActive() ? "on" : "off");
    std::printf("%7s %8s %10s %10s %9s %7s %11s %4s %5s %10s %10s %8s %8s %7s %8s\n", unit, "s", "main PSS", "main priv",
                "main heap", "sqlite", "engine PSS", "proc", "fds", "db B", "wal B", "items", "boxes", "widgets", "cache KB");
  }
  // Growth from the first sample at or after warm to the last.
  void summary(int warm, const char* unit) const {
    const Sample* from = nullptr;
    for (const Sample& s : samples_)
      if (!from && s.at >= warm) from = &s;
    if (!from || samples_.empty()) return;
    const Sample& to = samples_.back();
    auto pct = [](long a, long b) { return a > 0 ? (double(b) / double(a) - 1) * 100 : 0.0; };
    std::printf("growth %s %d -> %d: main PSS %+.1f%% (%+ld KB), main private %+.1f%% (%+ld KB), engine %+.1f%% "
                "(%+ld KB), fds %+d, db %+ld B (%.0f B per %s), wal %ld B at the end (largest %ld B)\n",
                unit, from->at, to.at, pct(from->memory.main_pss_kb, to.memory.main_pss_kb),
                to.memory.main_pss_kb - from->memory.main_pss_kb,
                pct(from->memory.main_private_kb, to.memory.main_private_kb),
                to.memory.main_private_kb - from->memory.main_private_kb,
                pct(from->memory.engine_pss_kb, to.memory.engine_pss_kb),
                to.memory.engine_pss_kb - from->memory.engine_pss_kb, to.memory.fds - from->memory.fds,
                to.db - from->db, to.at > from->at ? double(to.db - from->db) / (to.at - from->at) : 0.0, unit,
                to.wal, largest_wal());
    std::printf("engine's HTTP cache on disk %+ld KB (%.1f KB per %s), %ld KB at the end\n", to.cache_kb - from->cache_kb,
                to.at > from->at ? double(to.cache_kb - from->cache_kb) / (to.at - from->at) : 0.0, unit, to.cache_kb);
    // Two samples are at the mercy of the noise (the engine's share of the pages it shares
    // with this process changes with every process on the machine): the fitted line over
    // every sample from the warm-up on says whether memory keeps climbing.
    auto trend = [&](long bench::ProcessMemory::*field) {
      double n = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
      for (const Sample& s : samples_) {
        if (s.at < warm) continue;
        const double x = s.at, y = double(s.memory.*field);
        n += 1, sx += x, sy += y, sxx += x * x, sxy += x * y;
      }
      const double d = n * sxx - sx * sx;
      const double slope = n > 1 && d != 0 ? (n * sxy - sx * sy) / d : 0.0;  // KB per unit
      const double mean = n > 0 ? sy / n : 0.0;
      const double span = double(to.at - from->at);
      return std::pair<double, double>{slope * span, mean > 0 ? slope * span / mean * 100 : 0.0};
    };
    const auto pss = trend(&bench::ProcessMemory::main_pss_kb);
    const auto priv = trend(&bench::ProcessMemory::main_private_kb);
    const auto heap = trend(&bench::ProcessMemory::main_heap_kb);
    const auto engine = trend(&bench::ProcessMemory::engine_pss_kb);
    std::printf("fitted trend %s %d -> %d: main PSS %+.0f KB (%+.1f%%), main private %+.0f KB (%+.1f%%), main heap "
                "%+.0f KB (%+.1f%%), engine %+.0f KB (%+.1f%%)\n",
                unit, from->at, to.at, pss.first, pss.second, priv.first, priv.second, heap.first, heap.second,
                engine.first, engine.second);
  }
  long largest_wal() const {
    long m = 0;
    for (const Sample& s : samples_) m = std::max(m, s.wal);
    return m;
  }

 private:
  std::string journal_;
  int demo_pid_;
  QElapsedTimer clock_;
  std::vector<Sample> samples_;
};

int arg(int argc, char** argv, int i, int fallback) { return argc > i ? std::atoi(argv[i]) : fallback; }
double arg_d(int argc, char** argv, int i, double fallback) { return argc > i ? std::atof(argv[i]) : fallback; }

int soak_orders(bench::DemoBench& b, int argc, char** argv) {
  const int cycles = arg(argc, argv, 2, 2000);
  const int every = arg(argc, argv, 3, 100);
  platform::set_wait_scale(arg_d(argc, argv, 5, 0.05));
  // Orders set to "处理中" stay on the list (a day of them would be thousands of rows):
  // by default they are set to "充值成功" and leave it, so the list holds what came
  // since the last cycle.
  const std::string target = argc > 6 ? argv[6] : "succeeded";
  const int radio = target == "processing" ? 0 : target == "cancelled" ? 2 : 1;
  auto& ctx = b.ctx();
  page::confirm_web_dialogs(ctx.main_browser(), platform::kWebMessageTitle, platform::kOkCaption, false, 100);
  const QString list = QString::fromLatin1(harness::kDemoRoot) + "/SelfProduct/ManualOrderList.aspx";
  harness::load(ctx.main_browser(), list);
  auto* w = new tools::orders::OrdersWindow(ctx);
  w->controls().target[radio]->setChecked(true);
  w->show();
  Sampler sampler(tools::journal::journal_file(ctx.data_dir()), bench::child_named("tessaro-demo"));
  Sampler::header("cycle");
  // Every cycle counts, finished or not; a sample is taken as the next one begins.
  int started = 0, finished = 0, restarts = 0;
  QObject::connect(w, &tools::orders::OrdersWindow::cycle_started, [&](const QDateTime&) {
    const int done = started++;
    if (done == 1 || (done > 0 && done % every == 0)) sampler.take(done);
  });
  QObject::connect(w, &tools::orders::OrdersWindow::cycle_finished, [&](int) { ++finished; });
  w->controls().start->click();
  // A watch that ended by itself (its page did not come in time on a loaded machine and
  // the next cycle found no order list) starts again on the order list.
  QTimer restart;
  QObject::connect(&restart, &QTimer::timeout, [&] {
    if (w->cycle_running() || !w->controls().start->isEnabled() || started >= cycles) return;
    ++restarts;
    harness::load(ctx.main_browser(), list);
    w->controls().start->click();
  });
  restart.start(1000);
  harness::wait_until([&] { return started > cycles || (started == cycles && !w->cycle_running()); },
                      24 * 3600 * 1000);
  restart.stop();
  w->controls().stop->click();
  harness::wait_until([&] { return !w->cycle_running(); }, 60000);
  harness::wait_until([] { return false; }, 500);
  const int done = std::min(started, cycles);
  sampler.take(done);
  sampler.summary(100, "cycle");
  std::printf("cycles %d, finished %d, not finished %d, watch started again %d times; browser history %d entries\n",
              done, finished, done - finished, restarts, ctx.main_browser()->history()->count());
  w->close();
  return 0;
}

int soak_publishing(bench::DemoBench& b, int argc, char** argv) {
  const int names = arg(argc, argv, 2, 1000);
  const int every = arg(argc, argv, 3, 100);
  platform::set_wait_scale(arg_d(argc, argv, 4, 0.05));
  auto& ctx = b.ctx();
  auto* w = new tools::publishing::PublishingWindow(ctx);
  const int before = static_cast<int>(harness::demo_products(b.demo()).size());
  auto stored = [&] { return static_cast<int>(harness::demo_products(b.demo()).size()) - before; };
  // The names from first on (a run that ended on a page that did not come in time on a
  // loaded machine goes on from where it stopped).
  auto set_names = [&](int first) {
    QString list;
    for (int i = first; i <= names; ++i) list += QStringLiteral("耐久商品%1\n").arg(i);
    list.chop(1);
    w->controls().names->setPlainText(list);
  };
  set_names(1);
  w->show();
  Sampler sampler(tools::journal::journal_file(ctx.data_dir()), bench::child_named("tessaro-demo"));
  Sampler::header("name");
  const QString prefix = QStringLiteral("正在发布第");
  int base = 0;
  QObject::connect(w, &tools::publishing::PublishingWindow::status_text_changed, [&](const QString& t) {
    const int at = t.indexOf(prefix);
    if (at < 0) return;
    const int n = base + t.mid(at + prefix.size()).chopped(1).toInt();
    if (n == 1 || (n > 0 && n % every == 0)) sampler.take(n);
  });
  int runs = 0;
  for (; runs < 50 && stored() < names; ++runs) {
    base = stored();
    if (runs > 0) set_names(base + 1);
    bench::timed_run(w->controls().start, w, &tools::publishing::PublishingWindow::run_finished, 24 * 3600 * 1000);
  }
  sampler.take(names);
  sampler.summary(100, "name");
  std::printf("products stored: %d of %d in %d runs; browser history %d entries\n", stored(), names, runs,
              ctx.main_browser()->history()->count());
  w->close();
  return 0;
}

int soak_templates(bench::DemoBench& b, int argc, char** argv) {
  const int pages = arg(argc, argv, 2, 100);
  const int every = arg(argc, argv, 3, 10);
  platform::set_wait_scale(arg_d(argc, argv, 4, 0.05));
  auto& ctx = b.ctx();
  auto* w = new tools::templates::TemplatesWindow(ctx);
  w->show();
  harness::wait_until([] { return false; }, 2000);  // the list loads
  Sampler sampler(tools::journal::journal_file(ctx.data_dir()), bench::child_named("tessaro-demo"));
  Sampler::header("page");
  const QString prefix = QStringLiteral("正在分析第");
  QObject::connect(w, &tools::templates::TemplatesWindow::status_text_changed, [&](const QString& t) {
    if (!t.startsWith(prefix)) return;
    const int page = t.mid(prefix.size()).chopped(1).toInt();
    if (page == 1 || page % every == 0) sampler.take(page);
  });
  bench::timed_run(w->controls().analyse, w, &tools::templates::TemplatesWindow::analysis_finished, 24 * 3600 * 1000);
  sampler.summary(10, "page");
  std::printf("pages on the list: %d\n", pages);
  w->close();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "orders";
  std::vector<std::string> demo_args;
  if (mode == "orders") {
    demo_args = {"--orders", "5", "--order-every", std::to_string(arg(argc, argv, 4, 2000))};
  } else if (mode == "templates") {
    demo_args = {"--products", std::to_string(arg(argc, argv, 2, 100) * 20), "--page-size", "20"};
  } else if (mode != "publishing") {
    std::fprintf(stderr, "usage: soak_bench orders|publishing|templates [count] [every] ...\n");
    return 2;
  }
  bench::DemoBench b(argc, argv, demo_args);
  if (!b.ready()) return 1;
  if (mode == "orders") return soak_orders(b, argc, argv);
  if (mode == "publishing") return soak_publishing(b, argc, argv);
  return soak_templates(b, argc, argv);
}
