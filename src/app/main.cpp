// tessaro: the application. The main window runs the start-up sequence; closing it
// ends the process with exit code 0.
#include <QApplication>
#include <QLoggingCategory>
#include <QTimer>

#include "app/main_window.h"

int main(int argc, char** argv) {
  // A quiet start: the engine's "Init Parameters" and GL report is informational; its
  // warnings and errors still come through (QT_LOGGING_RULES can turn the report on).
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.debug=false\n"
                                                  "qt.webenginecontext.info=false"));
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  app::MainWindow window(QCoreApplication::applicationDirPath().toStdString());
  window.show();
  if (!window.start_up()) return 0;
  return application.exec();
}
