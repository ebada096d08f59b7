// Paced against fast: each tool's work run twice on a demo whose answers take 300 ms, once
// with the prescribed waits and once in fast mode, the demo reset in between. Per tool: both
// wall times, their ratio, the floor (the page requests the fast run made, one latency
// each) and whether the demo recorded the same in both runs. Run under Xvfb:
//   fast_bench publishing|templates|pricing|cards|status|stock|all [--latency MS]
//   fast_bench publishing-memory [--names N] [--every N]
// The second samples the process tree's memory every N names of a fast publishing run.

#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "demo_bench.h"
#include "process_memory.h"
#include "product_list_demo.h"
#include "status_stand_in.h"
#include "tools/cards/card_window.h"
#include "tools/common/bulk_status_parts.h"
#include "tools/common/run_mode.h"
#include "tools/pricing/pricing_window.h"
#include "tools/publishing/publishing_window.h"
#include "tools/status/bulk_status.h"
#include "tools/status/review_choice.h"
#include "tools/stock/open_stock_deletion.h"
#include "tools/stock/stock_window.h"
#include "tools/templates/templates_window.h"

namespace {

using harness::kDemoRoot;

testsupport::DemoProcess* g_demo = nullptr;
harness::TestContext* g_ctx = nullptr;
bool g_fast_only = false;  // the fast run alone, for looking into it

QString root(const char* path) { return QString(kDemoRoot) + path; }

void idle(int ms) {
  harness::wait_until([] { return false; }, ms);
}

long long requests_seen() {
  return harness::demo_state(*g_demo)["conditions"].toObject()["requests_seen"].toInteger(-1);
}

// Until no page request has reached the demo for a while (a closed window's browser may
// still have one under way).
void settle(int latency_ms) {
  long long before = requests_seen();
  for (int i = 0; i < 60; ++i) {
    idle(latency_ms + 200);
    const long long now = requests_seen();
    if (now == before) return;
    before = now;
  }
}

// What the demo recorded of the work, without what differs between two runs of it.
QJsonValue without_times(const QJsonValue& v) {
  if (v.isArray()) {
    QJsonArray out;
    for (const QJsonValue& e : v.toArray()) out.append(without_times(e));
    return out;
  }
  if (!v.isObject()) return v;
  QJsonObject out;
  const QJsonObject o = v.toObject();
  for (auto it = o.begin(); it != o.end(); ++it)
    if (it.key() != QLatin1String("at")) out.insert(it.key(), without_times(it.value()));
  return out;
}
QJsonObject records() {
  QJsonObject s = harness::demo_state(*g_demo);
  for (const char* k : {"conditions", "logins", "last_page"}) s.remove(QLatin1String(k));
  return without_times(s).toObject();
}

// One timed part of a run: its wall time and the page requests the demo saw during it.
struct Part {
  double wall = 0;
  long long requests = 0;
};
struct Span {
  QElapsedTimer clock;
  long long seen = 0;
  void start() {
    seen = requests_seen();
    clock.start();
  }
  // The requests are counted once the last answer is in.
  Part stop(int latency_ms) {
    Part p;
    p.wall = clock.elapsed() / 1000.0;
    settle(latency_ms);
    p.requests = requests_seen() - seen;
    return p;
  }
};

struct Outcome {
  Part part;
  bool done = false;  // the work was finished as asked
  QJsonObject records;
};

void close_all() {
  harness::close_windows<tools::publishing::PublishingWindow, tools::templates::TemplatesWindow,
                         tools::pricing::PricingWindow, tools::cards::CardWindow,
                         tools::stock::StockDeletionWindow>(60000);
}

// ---- The tools' work

Outcome publishing(int latency, int names) {
  g_demo->post("/demo/reset", "");
  auto* w = new tools::publishing::PublishingWindow(*g_ctx);
  QString list;
  for (int i = 1; i <= names; ++i) list += QStringLiteral("测速商品%1\n").arg(i);
  w->controls().names->setPlainText(list);
  w->show();
  idle(2000 + 3 * latency);  // the add form loads
  settle(latency);
  Outcome o;
  Span span;
  span.start();
  bench::timed_run(w->controls().start, w, &tools::publishing::PublishingWindow::run_finished, names * 60000);
  o.part = span.stop(latency);
  int stored = 0;
  for (const QJsonValue& v : harness::demo_products(*g_demo))
    stored += v.toObject()["name"].toString().startsWith(QStringLiteral("测速商品"));
  o.done = stored == names;
  close_all();
  return o;
}

bool choose(tools::templates::TemplatesWindow* w, QComboBox* list, int index) {
  QSignalSpy done(w, &tools::templates::TemplatesWindow::choice_finished);
  list->setCurrentIndex(index);
  QTimer::singleShot(0, list, [list, index] { emit list->activated(index); });
  return harness::wait_until([&] { return done.count() > 0; }, 120000);
}

// The analysis of a list of 3 pages of 19, then a top-up type set on all 57 products; the
// user's choices in between are not timed.
Outcome templates(int latency) {
  using tools::templates::TemplatesWindow;
  constexpr int kProducts = 57;
  harness::shape_list(*g_demo, kProducts, 0, 19, true);
  auto* w = new TemplatesWindow(*g_ctx);
  w->show();
  harness::wait_until(
      [] {
        platform::BrowserView* b = g_ctx->main_browser();
        return b->url().path() == "/SelfProduct/SelfProductList.aspx" && b->ready_state() == 4;
      },
      30000);
  settle(latency);
  Outcome o;
  Span span;
  span.start();
  bench::timed_run(w->controls().analyse, w, &TemplatesWindow::analysis_finished, 600000);
  const Part analysis = span.stop(latency);
  const auto& c = w->controls();
  // The walk's last pass reads the last page again: its links come twice.
  const bool chosen = w->links().size() >= kProducts && choose(w, c.types, 5) && choose(w, c.vendors, 3) &&
                      choose(w, c.templates, 1);
  settle(latency);
  span.start();
  if (chosen) bench::timed_run(c.start, w, &TemplatesWindow::applying_finished, kProducts * 60000);
  const Part apply = span.stop(latency);
  o.part = {analysis.wall + apply.wall, analysis.requests + apply.requests};
  std::printf("  templates %s: analysis %.2f s (%lld requests), applying %.2f s (%lld requests)\n",
              tools::RunMode::fast() ? "fast" : "paced", analysis.wall, analysis.requests, apply.wall,
              apply.requests);
  int set = 0;
  for (const QJsonValue& v : harness::demo_state(*g_demo)["templates"].toObject()["settings"].toArray())
    set += v.toObject()["radio"].toInt() == 6 && v.toObject()["vendor_option"].toInt() == 4 &&
           v.toObject()["template_option"].toInt() == 2;
  o.done = chosen && set == kProducts;
  close_all();
  return o;
}

// 38 products waiting for review, pages of 19: every row priced, with one page turn.
Outcome pricing(int latency) {
  constexpr int kRows = 38;
  platform::BrowserView* browser = g_ctx->main_browser();
  harness::shape_list(*g_demo, 0, kRows, 19, true);
  harness::load(browser, root("/SelfProduct/SelfProductList.aspx"), 30000);
  harness::script_load(browser, "__doPostBack('lbtn22','')", 30000);
  auto* w = new tools::pricing::PricingWindow(*g_ctx);
  QString last_status;
  QObject::connect(w, &tools::pricing::PricingWindow::status_text_changed,
                   [&last_status](const QString& t) { last_status = t; });
  w->show();
  settle(latency);
  Outcome o;
  Span span;
  span.start();
  bench::timed_run(w->controls().start, w, &tools::pricing::PricingWindow::run_finished, kRows * 60000);
  o.part = span.stop(latency);
  const int priced = static_cast<int>(harness::demo_state(*g_demo)["price_sets"].toArray().size());
  o.done = priced == kRows;
  std::printf("  pricing %s: %d of %d rows priced; the run ended with \"%s\"\n",
              tools::RunMode::fast() ? "fast" : "paced", priced, kRows, qPrintable(last_status));
  close_all();
  return o;
}

// 20 products, one card each, the pace box at 0.
Outcome cards(int latency) {
  constexpr int kProducts = 20;
  g_demo->post("/demo/reset", "");
  harness::load(g_ctx->main_browser(), root("/SelfProduct/SelfProductInventory.aspx"), 30000);
  auto* w = new tools::cards::CardWindow(*g_ctx);
  QString lines;
  for (int i = 1; i <= kProducts; ++i) lines += QStringLiteral("B%1-0001\n").arg(i);
  w->controls().content->setPlainText(lines);
  w->controls().pace->setText("0");
  w->show();
  settle(latency);
  Outcome o;
  Span span;
  span.start();
  bench::timed_run(w->controls().confirm, w, &tools::cards::CardWindow::import_finished, kProducts * 60000);
  o.part = span.stop(latency);
  int saved = 0;
  for (const QJsonValue& v : harness::demo_state(*g_demo)["card_imports"].toArray()) {
    const QJsonObject m = v.toObject();
    saved += m["state"].toString() == "saved" &&
             m["first_line"].toString() == QStringLiteral("B%1-0001").arg(m["product"].toInt());
  }
  o.done = saved == kProducts;
  close_all();
  return o;
}

// 200 products that passed review, 20 pages of 10, all set to sell. Timed from the user's
// choice of the list until the done message shows.
Outcome status(int latency) {
  constexpr int kProducts = 200;
  harness::shape_list(*g_demo, kProducts);
  harness::StatusStandIn main(*g_ctx);
  settle(latency);
  Outcome o;
  Span span;
  bool picked = false, answered = false, returned = false, busy = false;
  double wall = 0;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    if (busy) return;
    if (!picked) {
      auto* choice = harness::top_level<tools::status::ReviewChoice>([](auto* c) { return c->isVisible(); });
      if (!choice) return;
      platform::BrowserView* b = g_ctx->main_browser();
      busy = true;
      const bool shown = b->url().path() == "/SelfProduct/SelfProductList.aspx" && b->ready_state() == 4 &&
                         harness::page_script(b, "document.readyState").toString() == "complete";
      busy = false;
      if (!shown) return;
      picked = true;
      span.start();
      choice->choose_reviewed();
      return;
    }
    if (QMessageBox* box = harness::visible_box(QStringLiteral("信息：")); box && !answered) {
      wall = span.clock.elapsed() / 1000.0;
      answered = true;
      box->buttons().value(0)->click();
    }
  });
  watch.start(5);
  QTimer::singleShot(0, [&] {
    main.parts.buttons[0]->click();
    returned = true;
  });
  harness::wait_until([&] { return returned; }, 1800000);
  watch.stop();
  o.part = span.stop(latency);
  o.part.wall = wall;
  int selling = 0;
  for (const QJsonValue& v : harness::demo_products(*g_demo)) selling += v.toObject()["status"].toString() == "0";
  o.done = answered && selling == kProducts;
  return o;
}

// 10 products of 50 cards each, a run per product from its stock management page: its first
// pass deletes the 50 cards. Timed until that pass has its answer (the next pass begins);
// the user's stop then ends the run.
Outcome stock(int latency) {
  constexpr int kProducts = 10;
  g_demo->post("/demo/reset", "");
  tools::stock::open_stock_deletion(*g_ctx);
  auto* w = harness::top_level<tools::stock::StockDeletionWindow>();
  Outcome o;
  if (!w) return o;
  platform::BrowserView* browser = g_ctx->main_browser();
  Span span;
  QObject::connect(w, &tools::stock::StockDeletionWindow::pass_started, w, [&, w](int pass) {
    if (pass != 2) return;
    const Part p{span.clock.elapsed() / 1000.0, requests_seen() - span.seen};
    o.part.wall += p.wall;
    o.part.requests += p.requests;
    QTimer::singleShot(0, w->controls().stop, &QPushButton::click);
  });
  int emptied = 0;
  for (int p = 1; p <= kProducts; ++p) {
    settle(latency);
    harness::load(browser, root("/SelfProduct/ProductCardList.aspx?PID=") + QString::number(p), 30000);
    settle(latency);
    span.start();
    harness::click_until(w->controls().start, w, &tools::stock::StockDeletionWindow::deletion_finished, 120000);
    emptied += harness::demo_state(*g_demo)["cards"].toArray().size() > 0;
  }
  settle(latency);
  int left = 0;
  for (const QJsonValue& v : harness::demo_state(*g_demo)["cards"].toArray())
    if (v.toObject()["product"].toInt() <= kProducts) left += v.toObject()["cards"].toArray().size();
  o.done = emptied == kProducts && left == 0;
  close_all();
  return o;
}

struct Tool {
  const char* name;
  std::function<Outcome(int)> work;
};

int compare(const Tool& t, int latency) {
  Outcome runs[2];
  for (int fast = g_fast_only ? 1 : 0; fast < 2; ++fast) {
    tools::RunMode::set_fast(fast == 1);
    runs[fast] = t.work(latency);
    runs[fast].records = records();
    std::printf("  %s %s: %.2f s, %lld page requests, work %s\n", t.name, fast ? "fast" : "paced",
                runs[fast].part.wall, runs[fast].part.requests, runs[fast].done ? "done" : "NOT DONE");
    std::fflush(stdout);
  }
  tools::RunMode::set_fast(false);
  const double paced = runs[0].part.wall, fast = runs[1].part.wall;
  const double floor = runs[1].part.requests * latency / 1000.0;
  const bool same = runs[0].records == runs[1].records;
  std::printf("%-11s paced %8.2f s  fast %7.2f s  ratio %6.2fx  floor %7.2f s (%lld requests)  fast/floor %5.2f  "
              "records %s\n",
              t.name, paced, fast, fast > 0 ? paced / fast : 0.0, floor, runs[1].part.requests,
              floor > 0 ? fast / floor : 0.0, same ? "equal" : "DIFFER");
  if (!same) {
    const QJsonObject& a = runs[0].records;
    const QJsonObject& b = runs[1].records;
    for (auto it = a.begin(); it != a.end(); ++it)
      if (b.value(it.key()) != it.value())
        std::printf("  differs: %s\n    paced %s\n    fast  %s\n", qPrintable(it.key()),
                    QJsonDocument(QJsonObject{{"v", it.value()}}).toJson(QJsonDocument::Compact).left(600).constData(),
                    QJsonDocument(QJsonObject{{"v", b.value(it.key())}}).toJson(QJsonDocument::Compact).left(600).constData());
  }
  std::fflush(stdout);
  return runs[0].done && runs[1].done && same ? 0 : 2;
}

// A fast publishing run of names names, the process tree's memory every every names.
int publishing_memory(int latency, int names, int every) {
  g_demo->post("/demo/reset", "");
  tools::RunMode::set_fast(true);
  auto* w = new tools::publishing::PublishingWindow(*g_ctx);
  QString list;
  for (int i = 1; i <= names; ++i) list += QStringLiteral("耐久测速%1\n").arg(i);
  w->controls().names->setPlainText(list);
  w->show();
  idle(2000 + 3 * latency);
  const int demo_pid = bench::child_named("tessaro-demo");
  std::vector<std::pair<int, bench::ProcessMemory>> samples;
  QElapsedTimer clock;
  clock.start();
  std::printf("%6s %8s %10s %10s %11s %11s %4s %5s\n", "name", "s", "main PSS", "main priv", "engine PSS",
              "tree PSS", "proc", "fds");
  auto take = [&](int at) {
    const bench::ProcessMemory m = bench::process_memory(demo_pid);
    samples.emplace_back(at, m);
    std::printf("%6d %8.1f %10ld %10ld %11ld %11ld %4d %5d\n", at, clock.elapsed() / 1000.0, m.main_pss_kb,
                m.main_private_kb, m.engine_pss_kb, m.main_pss_kb + m.engine_pss_kb, m.engine_processes, m.fds);
    std::fflush(stdout);
  };
  const QString prefix = QStringLiteral("正在发布第");
  int last = 0;
  QObject::connect(w, &tools::publishing::PublishingWindow::status_text_changed, [&](const QString& t) {
    const int at = t.indexOf(prefix);
    if (at < 0) return;
    const int n = t.mid(at + prefix.size()).chopped(1).toInt();
    if (n != last && n > 0 && n % every == 0) take(n);
    last = n;
  });
  take(0);
  bench::timed_run(w->controls().start, w, &tools::publishing::PublishingWindow::run_finished, names * 60000);
  settle(latency);
  take(names);
  const bench::ProcessMemory* from = nullptr;
  for (const auto& [at, m] : samples)
    if (!from && at >= 100) from = &m;
  const bench::ProcessMemory& to = samples.back().second;
  if (from) {
    auto pct = [](long a, long b) { return a > 0 ? (double(b) / double(a) - 1) * 100 : 0.0; };
    const long tree_from = from->main_pss_kb + from->engine_pss_kb, tree_to = to.main_pss_kb + to.engine_pss_kb;
    std::printf("growth name 100 -> %d: tree PSS %+.1f%% (%+ld KB), main PSS %+.1f%% (%+ld KB), main private "
                "%+.1f%% (%+ld KB), engine %+.1f%% (%+ld KB), fds %+d\n",
                names, pct(tree_from, tree_to), tree_to - tree_from, pct(from->main_pss_kb, to.main_pss_kb),
                to.main_pss_kb - from->main_pss_kb, pct(from->main_private_kb, to.main_private_kb),
                to.main_private_kb - from->main_private_kb, pct(from->engine_pss_kb, to.engine_pss_kb),
                to.engine_pss_kb - from->engine_pss_kb, to.fds - from->fds);
  }
  const int stored = static_cast<int>(harness::demo_products(*g_demo).size());
  std::printf("products stored: %d of %d\n", stored, names);
  close_all();
  tools::RunMode::set_fast(false);
  return stored == names ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int latency = bench::take_option(argc, argv, "--latency", 300);
  const int names = bench::take_option(argc, argv, "--names", 500);
  const int every = bench::take_option(argc, argv, "--every", 50);
  const int publish = bench::take_option(argc, argv, "--publish", 50);
  g_fast_only = bench::take_flag(argc, argv, "--fast-only");
  const std::string what = argc > 1 ? argv[1] : "";
  const std::vector<Tool> all = {
      {"publishing", [publish](int l) { return publishing(l, publish); }},
      {"templates", templates},
      {"pricing", pricing},
      {"cards", cards},
      {"status", status},
      {"stock", stock},
  };
  std::vector<Tool> chosen;
  for (const Tool& t : all)
    if (what == "all" || what == t.name) chosen.push_back(t);
  if (chosen.empty() && what != "publishing-memory") {
    std::fprintf(stderr,
                 "usage: fast_bench publishing|templates|pricing|cards|status|stock|all [--latency MS] "
                 "[--publish N] [--fast-only]\n       fast_bench publishing-memory [--names N] [--every N] [--latency MS]\n");
    return 2;
  }
  bench::DemoBench b(argc, argv, {"--latency", std::to_string(latency), "--cards", "50", "--products", "20", "--order-every", "0"});
  if (!b.ready()) return 1;
  g_demo = &b.demo();
  g_ctx = &b.ctx();
  if (what == "publishing-memory") return publishing_memory(latency, names, every);
  std::printf("latency %d ms; floor: the fast run's page requests x latency\n", latency);
  int result = 0;
  for (const Tool& t : chosen) result = std::max(result, compare(t, latency));
  return result;
}
