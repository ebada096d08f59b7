// Settings under faults: files that are not regular files, the periodic save's cheap
// tick, writers killed in the middle of a save and the temporaries they leave.

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/file_internal.h"
#include "settings/settings.h"
#include "temp_dir_test.h"
#include "text/text.h"

using namespace settings;
namespace fs = std::filesystem;

namespace {

using settingstest::G;

class Durability : public settingstest::TempDirTest {
 protected:
  Durability() : TempDirTest("tessaro-durability") {}

  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(TempDirTest::SetUp());
    // A read that blocks (or never ends) would otherwise hang the whole run.
    ::alarm(60);
  }
  void TearDown() override {
    ::alarm(0);
    TempDirTest::TearDown();
  }

  static void set_mtime(const std::string& p, std::chrono::system_clock::time_point t) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(t.time_since_epoch()).count();
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(ns / 1000000000);
    times[0].tv_nsec = times[1].tv_nsec = static_cast<long>(ns % 1000000000);
    ASSERT_EQ(::utimensat(AT_FDCWD, p.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << p;
  }
  std::vector<std::string> debris() const {
    std::vector<std::string> v;
    for (const std::string& n : entries())
      if (n.find(".tmp-") != std::string::npos) v.push_back(n);
    return v;
  }
};

// The main window's four keys, in its order.
KeySaver::KeyValues main_keys(const std::string& password, const std::string& account, const std::string& address) {
  return {{G("保存帐"), password}, {G("保存密"), account}, {G("选择框1"), G("真")}, {G("网页地址"), address}};
}

}  // namespace

TEST_F(Durability, OnlyRegularFilesAreReadOrWritten) {
  // A FIFO: without care the first open waits for a writer forever.
  const std::string fifo = path(kConfigure);
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(read_key(fifo, G("网页地址")), "");
  EXPECT_FALSE(has_key(fifo, G("网页地址")));
  EXPECT_EQ(read_whole_file(fifo), "");
  EXPECT_FALSE(write_key(fifo, "k", "v"));
  EXPECT_FALSE(write_keys(fifo, {{"k", "v"}}));
  EXPECT_FALSE(write_whole_file(fifo, "x"));
  KeySaver saver;
  EXPECT_FALSE(saver.save(fifo, main_keys("p", "a", "http://a.com")));
  EXPECT_FALSE(saver.save(fifo, main_keys("p", "a", "http://a.com")));
  EXPECT_TRUE(fs::is_fifo(fifo));
  // A FIFO with a writer on the other end is not read either.
  const int writer = ::open(fifo.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(writer, 0);
  ASSERT_EQ(::write(writer, "[k]\r\nk=v\r\n", 10), 10);
  EXPECT_EQ(read_key(fifo, "k"), "");
  ::close(writer);

  // A directory in a file's place.
  const std::string folder = path(kProductNames);
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  EXPECT_EQ(read_whole_file(folder), "");
  EXPECT_FALSE(write_whole_file(folder, "names"));
  EXPECT_FALSE(write_key(folder, "k", "v"));
  EXPECT_TRUE(fs::is_directory(folder));

  // Devices, reached through links: an endless one and an empty one.
  ASSERT_EQ(::symlink("/dev/zero", path(kComplaint).c_str()), 0);
  ASSERT_EQ(::symlink("/dev/null", path(kWebHistory).c_str()), 0);
  EXPECT_EQ(read_whole_file(path(kComplaint)), "");
  EXPECT_EQ(read_key(path(kComplaint), "k"), "");
  EXPECT_FALSE(write_whole_file(path(kComplaint), "x"));
  EXPECT_FALSE(write_whole_file(path(kWebHistory), "http://a.cn"));
  EXPECT_FALSE(write_key(path(kWebHistory), "k", "v"));
  EXPECT_TRUE(fs::is_symlink(path(kComplaint)));
  EXPECT_TRUE(fs::is_character_file(path(kWebHistory)));

  // None of them left a temporary behind; regular files beside them still work.
  EXPECT_TRUE(debris().empty());
  ASSERT_TRUE(write_key(path("other.ini"), "k", "v"));
  EXPECT_EQ(read_key(path("other.ini"), "k"), "v");
}

TEST_F(Durability, KeySaverWritesItsKeysInOrderInOneWrite) {
  const std::string f = path(kConfigure);
  KeySaver saver;
  const std::uint64_t writes = detail::replace_count();
  ASSERT_TRUE(saver.save(f, main_keys("pw", G("帐号"), "http://a.com")));
  EXPECT_EQ(detail::replace_count(), writes + 1);
  EXPECT_EQ(read_whole_file(f), G("[保存帐]\r\n保存帐=pw\r\n[保存密]\r\n保存密=帐号\r\n[选择框1]\r\n选择框1=真\r\n"
                                  "[网页地址]\r\n网页地址=http://a.com\r\n"));
  // All four changed: still one write.
  ASSERT_TRUE(saver.save(f, main_keys("pw2", "acc2", "http://b.com")));
  EXPECT_EQ(detail::replace_count(), writes + 2);
  EXPECT_EQ(read_key(f, G("保存帐")), "pw2");
  EXPECT_EQ(read_key(f, G("保存密")), "acc2");
  EXPECT_EQ(read_key(f, G("网页地址")), "http://b.com");
  // A name the format cannot hold writes nothing at all.
  EXPECT_FALSE(saver.save(f, {{G("保存帐"), "pw3"}, {"bad\nname", "x"}}));
  EXPECT_EQ(read_key(f, G("保存帐")), "pw2");
}

TEST_F(Durability, ATickWithNothingNewDoesNotReadTheFile) {
  // configure.ini of 50 MB (an older program's debris after the keys).
  const std::string f = path(kConfigure);
  std::string big = G("[保存帐]\r\n保存帐=old\r\n[网页地址]\r\n网页地址=http://old.com\r\n");
  const std::string line = "; " + std::string(97, 'x') + "\r\n";
  while (big.size() < 50u * 1024 * 1024) big += line;
  put(f, big);

  KeySaver saver;
  const auto values = main_keys("pw", "acc", "http://a.com");
  std::uint64_t reads = detail::read_count(), writes = detail::replace_count();
  ASSERT_TRUE(saver.save(f, values));
  EXPECT_GT(detail::read_count(), reads);  // the first tick reads and writes
  EXPECT_EQ(detail::replace_count(), writes + 1);
  EXPECT_EQ(read_key(f, G("保存帐")), "pw");
  const ino_t written = inode_of(f);

  reads = detail::read_count();
  writes = detail::replace_count();
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(saver.save(f, values));
  EXPECT_EQ(detail::read_count(), reads);
  EXPECT_EQ(detail::replace_count(), writes);
  EXPECT_EQ(inode_of(f), written);

  // Another window writes another key: the next tick reads once, finds its values in
  // place and writes nothing; then the ticks are cheap again.
  ASSERT_TRUE(write_key(f, G("商品目录1"), "3"));
  reads = detail::read_count();
  writes = detail::replace_count();
  ASSERT_TRUE(saver.save(f, values));
  EXPECT_EQ(detail::read_count(), reads + 1);
  EXPECT_EQ(detail::replace_count(), writes);
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(saver.save(f, values));
  EXPECT_EQ(detail::read_count(), reads + 1);

  // Someone rewrites the file in place without our keys: the tick puts them back.
  put(f, "[x]\r\nx=1\r\n");
  ASSERT_TRUE(saver.save(f, values));
  EXPECT_EQ(read_key(f, G("保存密")), "acc");
  EXPECT_EQ(read_key(f, "x"), "1");
  // The file deleted: written again.
  ASSERT_TRUE(delete_file(f));
  ASSERT_TRUE(saver.save(f, values));
  EXPECT_EQ(read_key(f, G("网页地址")), "http://a.com");
  // A changed value is written at once.
  writes = detail::replace_count();
  ASSERT_TRUE(saver.save(f, main_keys("pw", "acc", "http://b.com")));
  EXPECT_EQ(detail::replace_count(), writes + 1);
  EXPECT_EQ(read_key(f, G("网页地址")), "http://b.com");
  // Another file: no stamp of the first one counts for it.
  ASSERT_TRUE(saver.save(path("second.ini"), main_keys("pw", "acc", "http://b.com")));
  EXPECT_EQ(read_key(path("second.ini"), G("保存帐")), "pw");
}

TEST_F(Durability, StaleTemporariesAreRemovedAndNothingElse) {
  const auto now = std::chrono::system_clock::now();
  const auto old = now - std::chrono::hours(1);
  auto make = [&](const std::string& name, std::chrono::system_clock::time_point t) {
    put(path(name), "content of " + name);
    set_mtime(path(name), t);
  };
  make(kConfigure, old);
  make("notes.txt", old);
  make(".configure.ini.tmp-Ab3dE9", old);  // ours, stale
  make(".web.txt.tmp-ZZZZZZ", old);        // ours, stale
  make(".configure.ini.tmp-keep", old);    // not six characters
  make(".configure.ini.tmp-ab_dE9", old);  // not a mkstemp character
  make("configure.ini.tmp-abcdef", old);   // no leading dot
  make(".tmp-abcdef", old);                // no name
  make(".configure.ini.tmp-NEWNEW", now + std::chrono::hours(1));  // newer than the cutoff
  ASSERT_EQ(::mkdir(path(".x.tmp-abcdef").c_str(), 0755), 0);
  make("target", old);
  ASSERT_EQ(::symlink("target", path(".y.tmp-abcdef").c_str()), 0);
  set_mtime(path(".y.tmp-abcdef"), old);

  EXPECT_EQ(remove_stale_temporaries(dir_, now), 2u);
  EXPECT_EQ(entries(), (std::vector<std::string>{".configure.ini.tmp-NEWNEW", ".configure.ini.tmp-ab_dE9",
                                                 ".configure.ini.tmp-keep", ".tmp-abcdef", ".x.tmp-abcdef",
                                                 ".y.tmp-abcdef", "configure.ini", "configure.ini.tmp-abcdef",
                                                 "notes.txt", "target"}));
  EXPECT_EQ(read_whole_file(path("target")), "content of target");
  EXPECT_EQ(remove_stale_temporaries(dir_, now), 0u);
  EXPECT_EQ(remove_stale_temporaries(path("missing"), now), 0u);
}

TEST_F(Durability, TheFirstUseOfADataDirectoryClearsWhatEarlierProcessesLeft) {
  const std::string data = portable_data_dir(dir_);
  ASSERT_EQ(::mkdir(data.c_str(), 0755), 0);
  const auto now = std::chrono::system_clock::now();
  put(data + "/configure.ini", "[k]\r\nk=v\r\n");
  put(data + "/.configure.ini.tmp-OLD123", "[k]\r\nk=password\r\n");
  set_mtime(data + "/.configure.ini.tmp-OLD123", now - std::chrono::hours(2));
  // Newer than this process: another process may be writing it right now.
  put(data + "/.web.txt.tmp-NEW123", "x");
  set_mtime(data + "/.web.txt.tmp-NEW123", now + std::chrono::hours(1));

  ASSERT_TRUE(make_data_dir(data));
  EXPECT_FALSE(fs::exists(data + "/.configure.ini.tmp-OLD123"));
  EXPECT_TRUE(fs::exists(data + "/.web.txt.tmp-NEW123"));
  EXPECT_EQ(read_key(data + "/configure.ini", "k"), "v");
  // Only the first use of the directory sweeps it.
  put(data + "/.configure.ini.tmp-LATER1", "x");
  set_mtime(data + "/.configure.ini.tmp-LATER1", now - std::chrono::hours(2));
  ASSERT_TRUE(make_data_dir(data));
  EXPECT_TRUE(fs::exists(data + "/.configure.ini.tmp-LATER1"));
}

// Writers of the periodic save killed at random moments: the file always holds one
// complete save (the four keys of one tick together), and the sweep clears the
// temporaries the kills left.
TEST_F(Durability, KilledWritersLeaveWholeSavesAndTheSweepClearsTheirTemporaries) {
  const std::string f = path(kConfigure);
  // Some bulk in the file widens the window in which a kill lands inside a write.
  put(f, "; " + std::string(256 * 1024, 'x') + "\r\n");
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> delay_us(200, 12000);
  int kills = 0, complete = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < until && kills < 300) {
    const long base = (kills + 1) * 1000000L;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      KeySaver saver;
      for (long n = base;; ++n) {
        const std::string v = std::to_string(n);
        saver.save(f, main_keys("p" + v, "a" + v, "http://s" + v + ".com"));
      }
    }
    ::usleep(static_cast<useconds_t>(delay_us(random)));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ++kills;

    const std::string p = read_key(f, G("保存帐")), a = read_key(f, G("保存密")),
                      s = read_key(f, G("网页地址"));
    ASSERT_TRUE(fs::is_regular_file(f));
    if (p.empty() && a.empty() && s.empty()) continue;  // killed before its first save
    ++complete;
    // One tick's values, together: "p" + n, "a" + n, "http://s" + n + ".com".
    ASSERT_TRUE(p.size() > 1 && p[0] == 'p' && a.size() > 1 && a[0] == 'a') << p << " " << a;
    ASSERT_EQ(p.substr(1), a.substr(1)) << "a save mixed with another";
    ASSERT_EQ(s, "http://s" + p.substr(1) + ".com") << "a save mixed with another";
    EXPECT_EQ(read_key(f, G("选择框1")), G("真"));
    EXPECT_EQ(read_whole_file(f).substr(0, 3), "; x");  // the rest of the file kept
  }
  EXPECT_GE(kills, 20);
  EXPECT_GT(complete, 0);
  // Everything the kills left is older than now: all of it goes, nothing else does.
  const std::size_t before = debris().size();
  ::usleep(20000);
  EXPECT_EQ(remove_stale_temporaries(dir_, std::chrono::system_clock::now()), before);
  EXPECT_TRUE(debris().empty());
  EXPECT_EQ(entries(), std::vector<std::string>{kConfigure});
  RecordProperty("kills", kills);
  RecordProperty("temporaries_left", static_cast<int>(before));
}
