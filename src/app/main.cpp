// tessaro: the application. The command line is read first (--version and --help need no
// display), then the data directory is decided and locked; the main window runs the
// start-up sequence, and closing it ends the process with exit code 0.
#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QMessageBox>

#include <cstdio>

#include "app/app_config.h"
#include "app/command_line.h"
#include "app/data_directory.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "app/process_exit.h"
#include "platform/dialogs.h"
#include "tools/common/journal.h"

namespace {

// A start that cannot go on: one line on standard error and a box for whoever started it
// from the desktop; nothing is written.
int refuse(const QString& box_text, const QString& line) {
  std::fprintf(stderr, "tessaro：%s\n", line.toLocal8Bit().constData());
  platform::show_message(nullptr, box_text, platform::kTitleHint, QMessageBox::Information);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  QStringList args;
  for (int i = 0; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const app::CommandLine command = app::parse_command_line(args);
  if (command.action == app::CommandLine::Action::show) {
    std::fputs(command.text.c_str(), stdout);
    return 0;
  }
  if (command.action == app::CommandLine::Action::fail) {
    std::fputs(command.text.c_str(), stderr);
    return command.exit_code;
  }
  app::ensure_home();

  // A quiet start: the engine's "Init Parameters" and GL report is informational; its
  // warnings and errors still come through (QT_LOGGING_RULES can turn the report on).
  QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.debug=false\n"
                                                  "qt.webenginecontext.info=false"));
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);
  QGuiApplication::setDesktopFileName(QString::fromLatin1(app::kAppId));
  QApplication::setWindowIcon(app::app_icon());

  const std::string exe_dir = QCoreApplication::applicationDirPath().toStdString();
  const app::DataDirChoice data = app::choose_data_dir(
      {exe_dir, command.data_dir, app::user_data_dir(), QDir::currentPath().toStdString()});
  if (data.dir.empty()) {
    const QString why = QString::fromStdString(data.problem);
    return refuse(why, why);
  }
  if (!data.notice.empty()) std::fprintf(stderr, "tessaro：%s\n", data.notice.c_str());

  // One Tessaro per data directory; the second ends here without touching a file.
  app::InstanceLock lock(data.dir);
  if (lock.state() == app::InstanceLock::State::busy) {
    const QString where = QString::fromStdString(data.dir);
    return refuse(app::kAlreadyRunning, app::kAlreadyRunning + QStringLiteral("：") + where);
  }
  if (lock.state() == app::InstanceLock::State::failed) return refuse(lock.problem(), lock.problem());
  app::run_at_end([&lock] { lock.release(); });
  // Runs the journal still shows open belong to a process that is gone.
  tools::journal::close_cut_off_runs(data.dir);

  app::MainWindow window(exe_dir, data.dir);
  window.show();
  if (!window.start_up()) return 0;
  return application.exec();
}
