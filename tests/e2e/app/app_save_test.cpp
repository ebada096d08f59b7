// The main window's settings under faults: the periodic save writes its four keys in one
// write and reads nothing while nothing changed (a large configure.ini included), a FIFO
// in configure.ini's place neither hangs the window nor gets replaced, and start-up
// clears the temporaries that killed saves left in the data directory.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLineEdit>
#include <QTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/app_config.h"
#include "app/main_window.h"
#include "e2e_support.h"
#include "settings/file_internal.h"
#include "settings/settings.h"
#include "text/text.h"

namespace {

namespace fs = std::filesystem;

bool child_mode() { return std::getenv("TESSARO_APP_TEST_CHILD") != nullptr; }
QString u(const char* utf8) { return QString::fromUtf8(utf8); }
std::string g(const char* utf8) { return text::utf8_to_gbk(utf8); }

class MainWindowSave : public ::testing::Test {
 protected:
  void SetUp() override {
    if (child_mode()) GTEST_SKIP() << "child mode";
    ::alarm(120);  // a read that blocks would otherwise hang the whole binary
  }
  void TearDown() override {
    window_.reset();
    ::alarm(0);
  }

  // A fresh executable directory whose configure.ini switches the maker's site off,
  // written without touching the data directory's start-up clean-up.
  std::string prepare(const std::string& name) {
    exe_dir_ = e2e::fresh_exe_dir(name);
    fs::create_directories(settings::portable_data_dir(exe_dir_));
    EXPECT_TRUE(settings::write_key(ini(), g(app::kMakerSiteKeyUtf8), ""));
    return exe_dir_;
  }
  std::string ini() const { return e2e::data_file(exe_dir_, settings::kConfigure); }
  app::MainWindow& start() {
    window_ = std::make_unique<app::MainWindow>(exe_dir_);
    window_->show();
    EXPECT_TRUE(window_->start_up());
    return *window_;
  }
  QLineEdit* box(const char* name) { return window_->findChild<QLineEdit*>(QString::fromLatin1(name)); }

  std::string exe_dir_;
  std::unique_ptr<app::MainWindow> window_;
};

}  // namespace

TEST_F(MainWindowSave, FourKeysInOneWriteAndNoReadWhileNothingChanged) {
  prepare("one-write");
  start();
  QTest::qWait(200);
  ASSERT_EQ(e2e::read_config(exe_dir_, "选择框1"), "真");
  box("account")->setText(u("帐号二"));
  box("password")->setText(u("密码二"));
  box("address")->setText(u("http://二.example.com"));
  // Called directly: no timer tick can come in between.
  const std::uint64_t writes = settings::detail::replace_count();
  window_->periodic_save();
  EXPECT_EQ(settings::detail::replace_count(), writes + 1);
  EXPECT_EQ(e2e::read_config(exe_dir_, "保存密"), "帐号二");
  EXPECT_EQ(e2e::read_config(exe_dir_, "保存帐"), "密码二");
  EXPECT_EQ(e2e::read_config(exe_dir_, "网页地址"), "http://二.example.com");

  const std::uint64_t reads = settings::detail::read_count();
  for (int i = 0; i < 20; ++i) window_->periodic_save();
  QTest::qWait(300);  // and six ticks of the timer
  EXPECT_EQ(settings::detail::read_count(), reads);
  EXPECT_EQ(settings::detail::replace_count(), writes + 1);
}

TEST_F(MainWindowSave, ALargeConfigureIniCostsATickNoRead) {
  prepare("big");
  {
    FILE* f = std::fopen(ini().c_str(), "ab");
    ASSERT_NE(f, nullptr);
    const std::string line = "; " + std::string(1022, 'x') + "\r\n";
    for (int i = 0; i < 16 * 1024; ++i) std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
  }
  start();
  QTest::qWait(300);  // the first ticks add the four keys
  ASSERT_EQ(e2e::read_config(exe_dir_, "选择框1"), "真");
  const std::uint64_t reads = settings::detail::read_count(), writes = settings::detail::replace_count();
  QTest::qWait(500);
  for (int i = 0; i < 20; ++i) window_->periodic_save();
  EXPECT_EQ(settings::detail::read_count(), reads);
  EXPECT_EQ(settings::detail::replace_count(), writes);
  // Typing is saved on the next tick, and the rest of the file stays.
  box("account")->setText(u("大文件"));
  window_->periodic_save();
  EXPECT_EQ(settings::detail::replace_count(), writes + 1);
  EXPECT_EQ(e2e::read_config(exe_dir_, "保存密"), "大文件");
  EXPECT_GT(fs::file_size(ini()), 16u * 1024 * 1024);
}

TEST_F(MainWindowSave, AFifoInPlaceOfConfigureIniNeitherHangsNorIsReplaced) {
  prepare("fifo");
  // Before the window exists: its first read (the maker's site) must not wait for a writer.
  ASSERT_EQ(::unlink(ini().c_str()), 0);
  ASSERT_EQ(::mkfifo(ini().c_str(), 0600), 0);
  auto early = std::make_unique<app::MainWindow>(exe_dir_);
  EXPECT_TRUE(fs::is_fifo(ini()));
  early.reset();

  // A FIFO put there while the window runs: the ticks go on and leave it alone.
  ASSERT_EQ(::unlink(ini().c_str()), 0);
  ASSERT_TRUE(settings::write_key(ini(), g(app::kMakerSiteKeyUtf8), ""));
  start();
  box("account")->setText(u("acc"));
  QTest::qWait(150);
  ASSERT_EQ(e2e::read_config(exe_dir_, "保存密"), "acc");
  ASSERT_EQ(::unlink(ini().c_str()), 0);
  ASSERT_EQ(::mkfifo(ini().c_str(), 0600), 0);
  box("account")->setText(u("acc2"));
  for (int i = 0; i < 5; ++i) window_->periodic_save();
  QTest::qWait(300);
  EXPECT_TRUE(fs::is_fifo(ini()));
  // Once the file is a file again, the values come back.
  ASSERT_EQ(::unlink(ini().c_str()), 0);
  QTest::qWait(300);
  EXPECT_EQ(e2e::read_config(exe_dir_, "保存密"), "acc2");
}

TEST_F(MainWindowSave, StartUpClearsWhatKilledSavesLeftAndNothingElse) {
  prepare("debris");
  const std::string data = settings::portable_data_dir(exe_dir_);
  const auto hour_ago = std::chrono::system_clock::now() - std::chrono::hours(1);
  const auto secs = std::chrono::duration_cast<std::chrono::seconds>(hour_ago.time_since_epoch()).count();
  for (const char* name : {".configure.ini.tmp-Ab12Cd", ".web.txt.tmp-Zz9Yy8", "notes.txt", ".hidden"}) {
    const std::string p = data + "/" + name;
    FILE* f = std::fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("[保存帐]\r\n保存帐=old password\r\n", f);
    std::fclose(f);
    const timespec times[2] = {{static_cast<time_t>(secs), 0}, {static_cast<time_t>(secs), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
  }
  start();
  EXPECT_FALSE(fs::exists(data + "/.configure.ini.tmp-Ab12Cd"));
  EXPECT_FALSE(fs::exists(data + "/.web.txt.tmp-Zz9Yy8"));
  EXPECT_TRUE(fs::exists(data + "/notes.txt"));
  EXPECT_TRUE(fs::exists(data + "/.hidden"));
  EXPECT_TRUE(fs::exists(ini()));
}
