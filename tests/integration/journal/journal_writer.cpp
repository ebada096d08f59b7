// Helper of the journal tests: records a publishing-like run of many items into
// DATA_DIR/journal.db and says "ended N" after each item, until it is killed. With --read,
// it is another program reading the journal instead: it opens a read of journal.db, says
// "holding N" (the items it sees), keeps the read open until a line comes on its input,
// then says "released" and ends.
// Usage: journal_writer DATA_DIR | journal_writer --read DATA_DIR
#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

#include "tools/common/journal.h"

namespace {

int hold_read(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) return 1;
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* st = nullptr;
  long long items = -1;
  // The first step opens the read; the statement stays unfinished, as a browser's would.
  if (sqlite3_prepare_v2(db, "SELECT count(*) FROM items", -1, &st, nullptr) == SQLITE_OK &&
      sqlite3_step(st) == SQLITE_ROW)
    items = sqlite3_column_int64(st, 0);
  std::printf("holding %lld\n", items);
  std::fflush(stdout);
  char line[16];
  (void)std::fgets(line, sizeof line, stdin);
  sqlite3_finalize(st);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  std::printf("released\n");
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (std::strcmp(argv[1], "--read") == 0)
    return argc < 3 ? 2 : hold_read(tools::journal::journal_file(argv[2]));
  QCoreApplication app(argc, argv);
  QStringList names;
  for (int i = 1; i <= 100000; ++i) names << QStringLiteral("商品%1").arg(i);
  tools::journal::Run run(argv[1], QStringLiteral("自动上架商品"), nullptr, QJsonObject{{"bold", true}}, names);
  if (!run.recording()) {
    std::printf("problem %s\n", run.problem().toStdString().c_str());
    return 1;
  }
  for (int i = 0; i < names.size(); ++i) {
    run.begin_item(names[i]);
    run.set_detail(QStringLiteral("第%1个").arg(i + 1));
    QThread::msleep(5);
    run.end_item();
    std::printf("ended %d\n", i + 1);
    std::fflush(stdout);
  }
  return 0;
}
