// Start and end seen from outside: the built tessaro binary run as a child process (a
// fresh install, an unreachable maker's site, refusal from a "Temp" folder, closing the
// main window), and this test binary run again in child mode to close the main window
// while a tool runs a wait.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/app_config.h"
#include "app/main_window.h"
#include "e2e_support.h"
#include "platform/waits.h"
#include "settings/settings.h"

namespace {

bool child_mode() { return std::getenv("TESSARO_APP_TEST_CHILD") != nullptr; }
QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// A copy of the built tessaro in exe_dir, as a user installs it: nothing else there.
QString install_copy(const std::string& exe_dir) {
  namespace fs = std::filesystem;
  fs::copy_file(TESSARO_BIN, fs::path(exe_dir) / "tessaro", fs::copy_options::overwrite_existing);
  return QString::fromStdString(exe_dir + "/tessaro");
}

// A loopback port on which nothing listens.
int closed_port() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  ::close(fd);
  return ntohs(addr.sin_port);
}

// The engine's start-up report ("Init Parameters", GL details).
bool has_engine_report(const QString& err) {
  return err.contains(QStringLiteral("Init Parameters")) || err.contains(QStringLiteral("GL Type"));
}

// A fresh install: no data folder, no configure.ini. Both windows come up, no question
// is asked, and the terminal stays quiet.
TEST(RealBinary, FreshInstallStartsQuietlyWithoutAQuestion) {
  if (child_mode()) GTEST_SKIP();
  std::string dir = e2e::fresh_exe_dir("fresh");
  QString exe = install_copy(dir);
  ASSERT_FALSE(std::filesystem::exists(dir + "/data"));
  QProcess p;
  p.start(exe, {});
  ASSERT_TRUE(p.waitForStarted());
  ASSERT_TRUE(e2e::wait_for([] { return e2e::x_window_exists(app::browser_title()); }, 30000));
  ASSERT_TRUE(e2e::x_window_exists(app::main_title()));
  // Long enough for the steps after the browser window (notice, letter prompt).
  QTest::qWait(3000);
  EXPECT_FALSE(e2e::x_window_exists(u("信息：")));
  EXPECT_FALSE(e2e::x_window_exists(u("提示：")));
  EXPECT_EQ(p.state(), QProcess::Running);
  EXPECT_TRUE(e2e::x_close_window(app::main_title()));
  ASSERT_TRUE(p.waitForFinished(15000));
  EXPECT_EQ(p.exitCode(), 0);
  const QString err = QString::fromUtf8(p.readAllStandardError());
  EXPECT_FALSE(has_engine_report(err)) << err.toStdString();
  EXPECT_EQ(e2e::read_config(dir, "选择框1"), "真");
}

// With "作者网站" set to an address where nothing answers, the start-up asks the
// connection question, and closing it (its escape button is "否") ends the process
// with exit code 0. The engine's report, turned on from the environment, still comes
// through: the start only sets its default.
TEST(RealBinary, UnreachableMakerSiteAsksTheConnectionQuestion) {
  if (child_mode()) GTEST_SKIP();
  std::string dir = e2e::fresh_exe_dir("unreachable");
  QString exe = install_copy(dir);
  e2e::write_config(dir, app::kMakerSiteKeyUtf8, "http://127.0.0.1:" + std::to_string(closed_port()));
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_LOGGING_RULES", "qt.webenginecontext.info=true");
  p.setProcessEnvironment(env);
  p.start(exe, {});
  ASSERT_TRUE(p.waitForStarted());
  ASSERT_TRUE(e2e::wait_for([] { return e2e::x_window_exists(u("信息：")); }, 30000));
  EXPECT_TRUE(e2e::x_window_exists(app::browser_title()));  // step 4 came before
  EXPECT_TRUE(e2e::x_close_window(u("信息：")));
  ASSERT_TRUE(p.waitForFinished(15000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_TRUE(has_engine_report(QString::fromUtf8(p.readAllStandardError())));
}

TEST(RealBinary, StartedFromTempFolderShowsTheBoxAndEndsWithZero) {
  if (child_mode()) GTEST_SKIP();
  std::string dir = e2e::fresh_exe_dir("Temp");
  QString exe = install_copy(dir);
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p.start(exe, {});
  ASSERT_TRUE(p.waitForStarted());
  ASSERT_TRUE(e2e::wait_for([] { return e2e::x_window_exists(u("提示：")); }, 30000));
  EXPECT_FALSE(e2e::x_window_exists(app::browser_title()));
  EXPECT_TRUE(e2e::x_close_window(u("提示：")));
  ASSERT_TRUE(p.waitForFinished(15000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir + "/data"));
}

TEST(RealBinary, ClosingTheMainWindowEndsTheProcessWithZero) {
  if (child_mode()) GTEST_SKIP();
  std::string dir = e2e::fresh_exe_dir("run");
  e2e::write_config(dir, "保存密", "kept-account");
  QString exe = install_copy(dir);
  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p.start(exe, {});
  ASSERT_TRUE(p.waitForStarted());
  ASSERT_TRUE(e2e::wait_for([] { return e2e::x_window_exists(app::browser_title()); }, 30000));
  ASSERT_TRUE(e2e::x_window_exists(app::main_title()));
  QTest::qWait(500);
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(e2e::x_close_window(app::main_title()));
  ASSERT_TRUE(p.waitForFinished(15000));
  std::printf("[ measure ] main window closed -> process ended: %lld ms\n", static_cast<long long>(t.elapsed()));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_EQ(e2e::read_config(dir, "保存密"), "kept-account");
  EXPECT_EQ(e2e::read_config(dir, "选择框1"), "真");
}

TEST(ChildProcess, ClosingTheMainWindowDuringARunningToolEndsAtOnce) {
  if (child_mode()) GTEST_SKIP();
  std::string dir = e2e::fresh_exe_dir("child");
  QProcess p;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TESSARO_APP_TEST_CHILD", "1");
  env.insert("TESSARO_APP_TEST_DIR", QString::fromStdString(dir));
  p.setProcessEnvironment(env);
  p.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=ExitChild.*"});
  ASSERT_TRUE(p.waitForFinished(60000));
  const QString out = QString::fromUtf8(p.readAllStandardOutput());
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0) << out.toStdString();
  EXPECT_TRUE(out.contains("CLOSING")) << out.toStdString();
  EXPECT_FALSE(out.contains("STILL-RUNNING")) << out.toStdString();
  // What was typed just before closing is in configure.ini.
  EXPECT_EQ(e2e::read_config(dir, "保存密"), "typed-before-close");
}

// Runs only in the child: the real exit path, no test handler.
TEST(ExitChild, CloseDuringToolWait) {
  if (!child_mode()) GTEST_SKIP();
  app::MainWindow w(std::getenv("TESSARO_APP_TEST_DIR"));
  w.show();
  ASSERT_TRUE(w.start_up());
  QTest::qWait(200);
  // A tool window: the names editor when it is built, else a plain window.
  QWidget* tool = nullptr;
  for (QPushButton* b : w.findChildren<QPushButton*>())
    if (b->text() == u("商品名字批量编辑") && b->isEnabled()) b->click();
  if (QApplication::topLevelWidgets().size() <= 3) {
    tool = new QWidget;
    tool->setWindowTitle(u("tool"));
    tool->show();
  }
  w.findChild<QLineEdit*>("account")->setText(u("typed-before-close"));
  QTimer::singleShot(500, &w, [&] {
    std::printf("CLOSING\n");
    std::fflush(stdout);
    w.close();
  });
  platform::wait_responsive(20000);  // the tool's running wait
  std::printf("STILL-RUNNING\n");
  delete tool;
}

}  // namespace
