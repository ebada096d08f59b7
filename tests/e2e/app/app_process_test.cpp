// How the process ends, seen from outside: the built tessaro binary run as a child
// process (refusal from a "Temp" folder, closing the main window), and this test
// binary run again in child mode to close the main window while a tool runs a wait.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <QTimer>

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

// A copy of the built tessaro in exe_dir, with the maker's site switched off.
QString install_copy(const std::string& exe_dir) {
  namespace fs = std::filesystem;
  fs::copy_file(TESSARO_BIN, fs::path(exe_dir) / "tessaro", fs::copy_options::overwrite_existing);
  e2e::write_config(exe_dir, app::kMakerSiteKeyUtf8, "");
  return QString::fromStdString(exe_dir + "/tessaro");
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
  e2e::write_config(dir, app::kMakerSiteKeyUtf8, "");
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
