// Start and end seen from outside: the built tessaro binary run as a child process (a
// fresh install, an unreachable maker's site, refusal from a "Temp" folder, closing the
// main window, the command line, an installed tree, one Tessaro per data directory), and
// this test binary run again in child mode to close the main window while a tool runs a
// wait, and to hold a data directory's lock with a run open until it is killed.
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

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <tuple>

#include "app/app_config.h"
#include "app/data_directory.h"
#include "app/instance_lock.h"
#include "app/main_window.h"
#include "e2e_support.h"
#include "platform/waits.h"
#include "settings/settings.h"
#include "tools/common/journal.h"
#include "tools/common/journal_store.h"

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


// The command line, read before any window or file: --version and --help need no display,
// an unknown option or a stray argument ends with exit code 2; nothing is written beside the
// executable.
TEST(RealBinary, CommandLineWithoutADisplay) {
  if (child_mode()) GTEST_SKIP();
  struct Case {
    QStringList args;
    int exit_code;
    const char* out;  // in standard output
    const char* err;  // in standard error
  };
  const std::vector<Case> cases = {
      {{"--version"}, 0, "Tessaro 4.3.", ""},
      {{"-v", "--webEngineArgs", "--no-such-switch"}, 0, "\nQt 6.", ""},
      {{"--help"}, 0, "--data-dir", ""},
      {{"--no-such-option"}, 2, "", "未知选项 --no-such-option"},
      {{"-x"}, 2, "", "未知选项 -x"},
      {{"--data-dir"}, 2, "", "--data-dir 后面缺少文件夹"},
      {{"somewhere"}, 2, "", "多余的参数 somewhere"},
  };
  std::string dir = e2e::fresh_exe_dir("cli");
  QString exe = install_copy(dir);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("DISPLAY");
  env.remove("QT_QPA_PLATFORM");
  env.remove("WAYLAND_DISPLAY");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(exe, c.args);
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), c.exit_code);
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(out.contains(u(c.out))) << out.toStdString();
    EXPECT_TRUE(err.contains(u(c.err))) << err.toStdString();
    if (c.exit_code == 0) EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    if (c.exit_code == 2) EXPECT_TRUE(out.isEmpty()) << out.toStdString();
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), std::filesystem::directory_iterator()), 1);
}

// Path, size and modification time of every file under dir.
std::map<std::string, std::tuple<std::uintmax_t, std::filesystem::file_time_type>> files_under(const std::string& dir) {
  std::map<std::string, std::tuple<std::uintmax_t, std::filesystem::file_time_type>> out;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir))
    out[e.path().string()] = {e.is_regular_file() ? e.file_size() : 0, e.last_write_time()};
  return out;
}

// An installed tree (the marker beside bin/): the data goes to the per-user location and
// nothing is written beside the executable. Two starts at once on it: exactly one runs, the
// other shows "Tessaro已在运行（同一数据目录）" and ends with exit code 1 without touching a
// file, also when the running one's lock is old.
TEST(RealBinary, InstalledTreeTwoStartsAtOnceExactlyOneRuns) {
  if (child_mode()) GTEST_SKIP();
  namespace fs = std::filesystem;
  const fs::path root = e2e::fresh_exe_dir("installed");
  fs::create_directories(root / "bin");
  fs::copy_file(TESSARO_BIN, root / "bin" / "tessaro");
  const fs::path marker = (root / "bin" / app::installed_marker()).lexically_normal();  // share/tessaro/installed
  fs::create_directories(marker.parent_path());
  { std::FILE* f = std::fopen(marker.c_str(), "w"); std::fclose(f); }
  const std::string data = (root / "xdg/tessaro/data").string();
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("XDG_DATA_HOME", QString::fromStdString((root / "xdg").string()));
  const QString exe = QString::fromStdString((root / "bin/tessaro").string());
  const QString running = app::kAlreadyRunning;

  QProcess a, b;
  for (QProcess* p : {&a, &b}) p->setProcessEnvironment(env);
  a.start(exe, {});
  b.start(exe, {});
  ASSERT_TRUE(a.waitForStarted() && b.waitForStarted());
  QString err_a, err_b;
  ASSERT_TRUE(e2e::wait_for(
      [&] {
        err_a += QString::fromUtf8(a.readAllStandardError());
        err_b += QString::fromUtf8(b.readAllStandardError());
        return e2e::x_window_exists(u("提示：")) && e2e::x_window_exists(app::browser_title());
      },
      30000));
  QTest::qWait(500);
  err_a += QString::fromUtf8(a.readAllStandardError());
  err_b += QString::fromUtf8(b.readAllStandardError());
  EXPECT_EQ(e2e::x_window_count(app::main_title()), 1);
  EXPECT_EQ(e2e::x_window_count(u("提示：")), 1);
  ASSERT_NE(err_a.contains(running), err_b.contains(running)) << err_a.toStdString() << err_b.toStdString();
  QProcess& refused = err_a.contains(running) ? a : b;
  QProcess& winner = err_a.contains(running) ? b : a;
  EXPECT_TRUE((err_a + err_b).contains(running + u("：") + QString::fromStdString(data)));
  EXPECT_TRUE(e2e::x_close_window(u("提示：")));
  ASSERT_TRUE(refused.waitForFinished(15000));
  EXPECT_EQ(refused.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(refused.exitCode(), 1);
  EXPECT_EQ(winner.state(), QProcess::Running);
  ASSERT_TRUE(e2e::wait_for([&] { return fs::exists(data + "/configure.ini"); }));
  EXPECT_TRUE(fs::exists(data + "/" + app::kLockFileName));
  // A lock held for hours is still held: a third start is refused and changes nothing.
  fs::last_write_time(data + "/" + app::kLockFileName, fs::file_time_type::clock::now() - std::chrono::hours(3));
  const auto before = files_under(data);
  QProcess third;
  third.setProcessEnvironment(env);
  third.start(exe, {});
  ASSERT_TRUE(e2e::wait_for([] { return e2e::x_window_exists(u("提示：")); }, 30000));
  EXPECT_TRUE(e2e::x_close_window(u("提示：")));
  ASSERT_TRUE(third.waitForFinished(15000));
  EXPECT_EQ(third.exitCode(), 1);
  EXPECT_EQ(files_under(data), before);
  EXPECT_EQ(winner.state(), QProcess::Running);
  // Nothing beside the installed executable.
  EXPECT_EQ(std::distance(fs::directory_iterator(root / "bin"), fs::directory_iterator()), 1);
  EXPECT_EQ(std::distance(fs::directory_iterator(marker.parent_path()), fs::directory_iterator()), 1);

  EXPECT_TRUE(e2e::x_close_window(app::main_title()));
  ASSERT_TRUE(winner.waitForFinished(15000));
  EXPECT_EQ(winner.exitCode(), 0);
  EXPECT_FALSE(fs::exists(data + "/" + app::kLockFileName));  // released at the end
}

// A process killed while it held the data directory with a run open: the next start takes
// its lock over and closes the run in the journal (application ended, end time unknown).
TEST(RealBinary, KilledHoldersLockIsTakenOverAndItsRunClosed) {
  if (child_mode()) GTEST_SKIP();
  namespace fs = std::filesystem;
  const std::string dir = e2e::fresh_exe_dir("killed");
  const std::string data = dir + "/elsewhere/data";
  QProcess holder;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("TESSARO_APP_TEST_CHILD", "1");
  env.insert("TESSARO_APP_TEST_DIR", QString::fromStdString(data));
  holder.setProcessEnvironment(env);
  holder.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=LockChild.*"});
  QByteArray said;
  ASSERT_TRUE(e2e::wait_for(
      [&] {
        said += holder.readAllStandardOutput();
        return said.contains("READY") || holder.state() == QProcess::NotRunning;
      },
      30000));
  ASSERT_TRUE(said.contains("READY")) << said.toStdString();
  holder.kill();  // SIGKILL: no clean-up of any kind
  ASSERT_TRUE(holder.waitForFinished());
  ASSERT_TRUE(fs::exists(data + "/" + app::kLockFileName));

  QProcess p;
  p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  p.start(install_copy(dir), {"--data-dir", QString::fromStdString(data)});
  ASSERT_TRUE(p.waitForStarted());
  ASSERT_TRUE(e2e::wait_for([] { return e2e::x_window_exists(app::browser_title()); }, 30000));
  EXPECT_FALSE(e2e::x_window_exists(u("提示：")));
  QFile lock(QString::fromStdString(data + "/" + app::kLockFileName));
  ASSERT_TRUE(lock.open(QIODevice::ReadOnly));
  EXPECT_EQ(lock.readLine().trimmed().toLongLong(), p.processId());
  lock.close();
  {
    std::string why;
    auto store = tools::journal::Store::open_for_reading(tools::journal::journal_file(data), &why);
    ASSERT_TRUE(store) << why;
    const auto runs = store->runs(0, 10);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].ending, "application_ended");
    EXPECT_EQ(runs[0].ended_ms, -1);  // when it ended is not known
    const auto items = store->items(runs[0].id, {}, 0, 10);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_GE(items[0].ended_ms, 0);
    EXPECT_EQ(items[1].ended_ms, -1);  // in progress when the process was killed
  }
  EXPECT_FALSE(fs::exists(dir + "/data"));  // --data-dir, not the portable folder
  EXPECT_TRUE(e2e::x_close_window(app::main_title()));
  ASSERT_TRUE(p.waitForFinished(15000));
  EXPECT_EQ(p.exitCode(), 0);
}

// Runs only in the child: holds the lock of TESSARO_APP_TEST_DIR with a run open, until killed.
TEST(LockChild, HoldsTheLockWithARunOpen) {
  if (!child_mode()) GTEST_SKIP();
  const std::string data = std::getenv("TESSARO_APP_TEST_DIR");
  ASSERT_TRUE(settings::make_data_dir(data));
  app::InstanceLock lock(data);
  ASSERT_EQ(lock.state(), app::InstanceLock::State::held);
  tools::journal::Run run(data, u("自动上架商品"), nullptr, {}, {u("甲"), u("乙"), u("丙")});
  ASSERT_TRUE(run.recording()) << run.problem().toStdString();
  run.begin_item(u("甲"));
  run.begin_item(u("乙"));
  std::printf("READY\n");
  std::fflush(stdout);
  QTest::qWait(60000);
}
}  // namespace
