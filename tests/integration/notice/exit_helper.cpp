// Meets the connection-error question and answers it with argv[2] ("是" or "否").
// Every start appends "started" to the file argv[1]; a start that finds the file
// already written (the new instance of a "是") ends at once with 0.
#include <QApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

#include "app/maker_notice.h"
#include "box_answer.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 3) return 2;
  const QString path = QString::fromLocal8Bit(argv[1]);
  const bool first = !QFile::exists(path);
  QFile log(path);
  if (!log.open(QIODevice::Append | QIODevice::Text)) return 2;
  log.write("started\n");
  log.flush();
  if (!first) return 0;

  SeenBox seen;
  auto timer = answer_next_box(QString::fromUtf8(argv[2]), &seen);
  // The box answer is written just before the click, from inside the box's loop.
  QObject::connect(timer.get(), &QTimer::timeout, [&] {
    if (seen.seen && log.isOpen()) {
      QTextStream out(&log);
      out << "title=" << seen.title << "\ntext=" << seen.text << "\n";
      out.flush();
      log.close();
    }
  });
  app::connection_error_and_exit(nullptr);
  return 3;  // never reached
}
