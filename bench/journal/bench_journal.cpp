// What the journal adds to a run, per item, with the database on disk (a directory under
// the current one, not a memory file system): begin the item, one script message box
// opened and answered through the platform's reporter, a detail, end the item. Measured
// over a publishing-sized run and set against the waits a publishing pass prescribes
// (3000 ms responsive + 6000 ms pause), and against a bare SQLite insert of one row in
// the same process. Usage: bench_journal [items] (default 3000).

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QWidget>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "platform/script_boxes.h"
#include "tools/common/journal.h"

namespace {

double percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v[static_cast<std::size_t>(p * static_cast<double>(v.size() - 1))];
}

void report(const char* name, const std::vector<double>& us) {
  const double mean = std::accumulate(us.begin(), us.end(), 0.0) / static_cast<double>(us.size());
  std::printf("%-34s mean %8.1f us  median %8.1f us  p99 %8.1f us  max %9.1f us\n", name, mean,
              percentile(us, 0.5), percentile(us, 0.99), *std::max_element(us.begin(), us.end()));
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int items = argc > 1 ? std::max(10, std::atoi(argv[1])) : 3000;
  QTemporaryDir dir(QDir::currentPath() + QStringLiteral("/bench_journal_XXXXXX"));
  if (!dir.isValid()) return 1;
  const std::string data = dir.path().toStdString();

  QWidget browser;
  QPushButton ok(QStringLiteral("确定"));
  platform::ScriptBoxes::mark_automated_click(&ok);
  QStringList names;
  for (int i = 1; i <= items; ++i) names << QStringLiteral("测速商品%1").arg(i);

  // The journal's bookkeeping of one item.
  std::vector<double> journal_us;
  journal_us.reserve(static_cast<std::size_t>(items));
  {
    tools::journal::Run run(data, QStringLiteral("自动上架商品"), &browser, QJsonObject{{"bold", true}}, names);
    if (!run.recording()) {
      std::fprintf(stderr, "not recording: %s\n", run.problem().toStdString().c_str());
      return 1;
    }
    QElapsedTimer t;
    for (int i = 0; i < items; ++i) {
      t.start();
      run.begin_item(names[i]);
      {
        platform::ScriptBoxReport box(&browser, platform::ScriptBoxKind::alert, QStringLiteral("商品发布成功！"));
        box.finish(&ok);
      }
      run.end_item();
      journal_us.push_back(static_cast<double>(t.nsecsElapsed()) / 1000.0);
    }
    run.end(tools::journal::Ending::finished);
  }

  // Baseline: one plain insert per item into a WAL database on the same disk.
  std::vector<double> insert_us;
  {
    sqlite3* db = nullptr;
    const std::string path = data + "/baseline.db";
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; CREATE TABLE t(k TEXT)", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO t VALUES(?1)", -1, &st, nullptr);
    QElapsedTimer t;
    for (int i = 0; i < items; ++i) {
      const QByteArray k = names[i].toUtf8();
      t.start();
      sqlite3_bind_text(st, 1, k.constData(), static_cast<int>(k.size()), SQLITE_TRANSIENT);
      sqlite3_step(st);
      sqlite3_reset(st);
      insert_us.push_back(static_cast<double>(t.nsecsElapsed()) / 1000.0);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
  }

  std::printf("items: %d, journal in %s\n", items, dir.path().toStdString().c_str());
  report("journal, one item (4 writes)", journal_us);
  report("baseline: one bare insert", insert_us);
  const double mean = std::accumulate(journal_us.begin(), journal_us.end(), 0.0) / items;
  const double base = std::accumulate(insert_us.begin(), insert_us.end(), 0.0) / items;
  constexpr double kPrescribedUs = (3000.0 + 6000.0) * 1000.0;
  std::printf("ratio journal item / bare insert: %.2f\n", mean / base);
  std::printf("ratio journal item / prescribed waits of a publishing pass (9000 ms): %.2e (%.5f%%)\n",
              mean / kPrescribedUs, mean / kPrescribedUs * 100.0);
  std::printf("goal under 1 ms per item: %s\n", mean < 1000.0 ? "met" : "NOT met");
  return 0;
}
