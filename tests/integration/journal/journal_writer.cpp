// Helper of the journal tests: records a publishing-like run of many items into
// DATA_DIR/journal.db and says "ended N" after each item, until it is killed.
// Usage: journal_writer DATA_DIR
#include <QCoreApplication>
#include <QStringList>
#include <QThread>

#include <cstdio>

#include "tools/common/journal.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
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
