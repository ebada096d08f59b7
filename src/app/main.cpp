// tessaro: the application. The main window runs the start-up sequence; closing it
// ends the process with exit code 0.
#include <QApplication>
#include <QTimer>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  app::MainWindow window(QCoreApplication::applicationDirPath().toStdString());
  window.show();
  if (!window.start_up()) return 0;
  return application.exec();
}
