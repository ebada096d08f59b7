// The editor window's own cost on 100,000 lines: setting the box, reading it back,
// and each button from click to the result in the box. Run under Xvfb (or with
// QT_QPA_PLATFORM=offscreen).
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

#include "bench_data.h"
#include "offline_context.h"
#include "tools/names/name_ops.h"
#include "tools/names/names_window.h"

namespace {

double ms(QElapsedTimer& t) { return t.nsecsElapsed() / 1e6; }

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QTemporaryDir dir;
  testsupport::OfflineContext ctx(dir.path().toStdString());
  auto* w = new tools::names::NamesWindow(ctx);
  w->resize(1000, 700);
  w->show();
  QApplication::processEvents();

  const std::string data = benchdata::name_list();
  QElapsedTimer t;
  t.start();
  w->set_main_text(data);
  QApplication::processEvents();
  std::printf("set the box (100,000 lines, %.2f MB) and paint: %8.1f ms\n", data.size() / 1048576.0,
              ms(t));
  t.restart();
  const std::string back = w->main_text();
  std::printf("read the box back:                          %8.1f ms (%s)\n", ms(t),
              back == data ? "identical" : "DIFFERENT");

  w->findChild<QLineEdit*>("prefixEdit")->setText(QStringLiteral("【热卖】"));
  w->findChild<QLineEdit*>("startEdit")->setText(QStringLiteral("1"));
  w->findChild<QLineEdit*>("firstCharEdit")->setText(QStringLiteral("新"));
  w->findChild<QLineEdit*>("findEdit")->setText(QStringLiteral("点卡"));
  w->findChild<QLineEdit*>("replacementEdit")->setText(QStringLiteral("点券"));
  w->findChild<QLineEdit*>("countEdit")->setText(QStringLiteral("-1"));
  w->findChild<QLineEdit*>("keywordEdit")->setText(QStringLiteral("特惠|秒到账|SKU"));

  const struct {
    const char* button;
    const char* label;
  } clicks[] = {{"dedupButton", "remove duplicates"},  {"prefixButton", "add prefix"},
                {"numberButton", "number lines"},      {"reverseButton", "reverse"},
                {"firstCharButton", "replace first character"},
                {"replaceButton", "replace text"},     {"stripButton", "strip keywords"},
                {"emptyButton", "delete empty lines"}};
  for (const auto& c : clicks) {
    w->set_main_text(data);
    QApplication::processEvents();
    t.restart();
    w->findChild<QPushButton*>(c.button)->click();
    QApplication::processEvents();
    std::printf("%-26s click to painted result: %8.1f ms\n", c.label, ms(t));
  }
  w->close();
  return 0;
}
