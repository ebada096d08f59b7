#include "settings/settings.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

#include "temp_dir_test.h"
#include "text/text.h"

using namespace settings;

namespace {

using settingstest::G;

class SettingsTest : public settingstest::TempDirTest {
 protected:
  SettingsTest() : TempDirTest("tessaro-settings") {}

  static mode_t mode_of(const std::string& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 07777;
  }
};

}  // namespace

TEST_F(SettingsTest, MissingFileSectionOrKeyReadsEmpty) {
  const std::string f = path(kConfigure);
  EXPECT_EQ(read_key(f, G("网页地址")), "");
  EXPECT_FALSE(has_key(f, G("网页地址")));
  put(f, "[other]\r\nother=1\r\n[a]\r\nb=2\r\n");
  EXPECT_EQ(read_key(f, "a"), "");
  EXPECT_EQ(read_profile(f, "a", "b"), "2");
  EXPECT_FALSE(has_key(f, "a"));
  put(f, "[a]\r\na=\r\n");
  EXPECT_TRUE(has_key(f, "a"));
  EXPECT_EQ(read_key(f, "a"), "");
}

TEST_F(SettingsTest, WritesTheFormatWindowsReads) {
  const std::string f = path(kConfigure);
  const std::string key = G("网页地址"), acct = G("保存密");
  ASSERT_TRUE(write_key(f, key, "http://demo.example.com"));
  ASSERT_TRUE(write_key(f, acct, G("张三")));
  EXPECT_EQ(read_whole_file(f), "[" + key + "]\r\n" + key + "=http://demo.example.com\r\n[" + acct +
                                    "]\r\n" + acct + "=" + G("张三") + "\r\n");
  EXPECT_EQ(read_key(f, acct), G("张三"));
  ASSERT_TRUE(write_key(f, key, "http://b.cn"));
  EXPECT_EQ(read_key(f, key), "http://b.cn");
  EXPECT_EQ(read_key(f, acct), G("张三"));
  // Appending to a file whose last line has no line end.
  put(f, "[x]\r\nx=1");
  ASSERT_TRUE(write_key(f, "y", "2"));
  EXPECT_EQ(read_whole_file(f), "[x]\r\nx=1\r\n[y]\r\ny=2\r\n");
  ASSERT_TRUE(write_profile(f, "x", "z", "3"));
  EXPECT_EQ(read_whole_file(f), "[x]\r\nx=1\r\nz=3\r\n[y]\r\ny=2\r\n");
}

TEST_F(SettingsTest, KeepsEverythingElseOfTheFile) {
  const std::string f = path("Setup.ini");
  const std::string before =
      "; comment line\r\n[init]\r\nSelect=1\r\nno equals sign here\r\nupdate=5\r\n\r\n"
      "[PP]\r\nset=abc\r\n";
  put(f, before);
  ASSERT_TRUE(write_profile(f, "init", "update", "6"));
  EXPECT_EQ(read_whole_file(f),
            "; comment line\r\n[init]\r\nSelect=1\r\nno equals sign here\r\nupdate=6\r\n\r\n"
            "[PP]\r\nset=abc\r\n");
  // A new key goes after the section's last line, before the blank line.
  ASSERT_TRUE(write_profile(f, "init", "new", "n"));
  EXPECT_EQ(read_whole_file(f),
            "; comment line\r\n[init]\r\nSelect=1\r\nno equals sign here\r\nupdate=6\r\nnew=n\r\n"
            "\r\n[PP]\r\nset=abc\r\n");
  EXPECT_FALSE(has_key(f, "no equals sign here"));
  EXPECT_EQ(read_profile(f, "init", "; comment line"), "");
}

TEST_F(SettingsTest, NamesIgnoreAsciiCaseAndBlanks) {
  const std::string f = path(kConfigure);
  put(f, "  [ Address ]  \r\n\t ADDRESS \t=  http://x.cn  \r\n");
  EXPECT_EQ(read_key(f, "address"), "http://x.cn");
  EXPECT_EQ(read_key(f, " address "), "http://x.cn");
  EXPECT_TRUE(has_key(f, "aDDress"));
  ASSERT_TRUE(write_key(f, "address", "http://y.cn"));
  EXPECT_EQ(read_whole_file(f), "  [ Address ]  \r\nADDRESS=http://y.cn\r\n");
  // GBK names compare byte for byte: 乤 (81 61) is not 丄 (81 41).
  put(f, "[\x81\x41]\r\n\x81\x41=1\r\n");
  EXPECT_EQ(read_key(f, "\x81\x61"), "");
  EXPECT_EQ(read_key(f, "\x81\x41"), "1");
}

TEST_F(SettingsTest, DuplicateSectionsUseTheFirst) {
  const std::string f = path(kConfigure);
  put(f, "[k]\r\nk=first\r\n[k]\r\nk=second\r\n[K]\r\nother=1\r\n");
  EXPECT_EQ(read_key(f, "k"), "first");
  EXPECT_EQ(read_profile(f, "k", "other"), "");  // only the first section counts
  ASSERT_TRUE(write_key(f, "k", "new"));
  EXPECT_EQ(read_whole_file(f), "[k]\r\nk=new\r\n[k]\r\nk=second\r\n[K]\r\nother=1\r\n");
  // Duplicate keys: the first is read and written.
  put(f, "[k]\r\nk=1\r\nk=2\r\n");
  EXPECT_EQ(read_key(f, "k"), "1");
  ASSERT_TRUE(write_key(f, "k", "3"));
  EXPECT_EQ(read_whole_file(f), "[k]\r\nk=3\r\nk=2\r\n");
}

TEST_F(SettingsTest, LineFeedOnlyFilesAndByteOrderMark) {
  const std::string f = path(kConfigure);
  put(f, "[a]\na=1\n[b]\nb=2\n");
  EXPECT_EQ(read_key(f, "a"), "1");
  EXPECT_EQ(read_key(f, "b"), "2");
  ASSERT_TRUE(write_key(f, "a", "x"));
  EXPECT_EQ(read_whole_file(f), "[a]\na=x\r\n[b]\nb=2\n");
  put(f, "\xEF\xBB\xBF[a]\r\na=1\r\n");
  EXPECT_EQ(read_key(f, "a"), "1");
  ASSERT_TRUE(write_key(f, "a", "2"));
  EXPECT_EQ(read_whole_file(f), "\xEF\xBB\xBF[a]\r\na=2\r\n");
  put(f, "\xEF\xBB\xBF");
  ASSERT_TRUE(write_key(f, "a", "3"));
  EXPECT_EQ(read_key(f, "a"), "3");
  // A lone CR line end is just a blank at the end of the value.
  put(f, "[a]\r\na=1\r\r\n");
  EXPECT_EQ(read_key(f, "a"), "1");
}

TEST_F(SettingsTest, LongValuesAreCutToTheReadBuffer) {
  const std::string f = path(kConfigure);
  ASSERT_TRUE(write_key(f, "k", std::string(20000, 'x')));
  EXPECT_EQ(read_key(f, "k"), std::string(kReadBuffer - 1, 'x'));
  EXPECT_EQ(read_whole_file(f).size(), 20000u + 9u);  // written whole
  // 10239 bytes would end in half a character: the cut drops the whole character.
  std::string cn;
  while (cn.size() < 12000) cn += G("中");
  ASSERT_TRUE(write_key(f, "k", cn));
  EXPECT_EQ(read_key(f, "k"), cn.substr(0, kReadBuffer - 2));
  ASSERT_TRUE(write_key(f, "k", std::string(kReadBuffer - 1, 'y')));
  EXPECT_EQ(read_key(f, "k").size(), kReadBuffer - 1);
}

TEST_F(SettingsTest, EmbeddedNulAndBinaryGarbage) {
  const std::string f = path(kConfigure);
  const std::string with_nul("[k]\r\nk=ab\0cd\r\n[j]\r\nj=1\r\n", 25);
  put(f, with_nul);
  EXPECT_EQ(read_key(f, "k"), "ab");  // a value ends at NUL, as in a C buffer
  EXPECT_EQ(read_key(f, "j"), "1");
  ASSERT_TRUE(write_key(f, "j", "2"));
  EXPECT_EQ(read_whole_file(f), std::string("[k]\r\nk=ab\0cd\r\n[j]\r\nj=2\r\n", 25));

  std::string garbage;
  unsigned x = 12345;
  for (int i = 0; i < 65536; ++i) {
    x = x * 1103515245u + 12345u;
    garbage.push_back(static_cast<char>(x >> 16));
  }
  put(f, garbage);
  (void)read_key(f, "k");  // anything, but no crash
  ASSERT_TRUE(write_key(f, G("保存帐"), "pw"));
  EXPECT_EQ(read_key(f, G("保存帐")), "pw");
  const std::string after = read_whole_file(f);
  EXPECT_EQ(after.compare(0, garbage.size(), garbage), 0);  // nothing of the old bytes lost
}

TEST_F(SettingsTest, AValueIsOneLine) {
  const std::string f = path(kConfigure);
  ASSERT_TRUE(write_key(f, "a", "line1\r\n[b]\r\nb=forged"));
  EXPECT_EQ(read_key(f, "a"), "line1");
  EXPECT_FALSE(has_key(f, "b"));
  ASSERT_TRUE(write_key(f, "a", std::string("x\0y", 3)));
  EXPECT_EQ(read_whole_file(f), "[a]\r\na=x\r\n");
  EXPECT_FALSE(write_key(f, "", "v"));
  EXPECT_FALSE(write_key(f, "a=b", "v"));
  EXPECT_FALSE(write_key(f, "a\nb", "v"));
}

TEST_F(SettingsTest, WritesAreAtomicOwnerOnlyAndSkippedWhenUnchanged) {
  const std::string f = path(kConfigure);
  ASSERT_TRUE(write_key(f, "k", "1"));
  EXPECT_EQ(mode_of(f), 0600u);
  const ino_t first = inode_of(f);
  ASSERT_TRUE(write_key(f, "k", "1"));  // same content: the file is left alone
  EXPECT_EQ(inode_of(f), first);
  ASSERT_TRUE(write_key(f, "k", "2"));  // a new file renamed over the old one
  EXPECT_NE(inode_of(f), first);
  EXPECT_EQ(entries(), (std::vector<std::string>{kConfigure}));  // no temporary left behind
  // An existing key file readable by others becomes owner-only on its next write.
  ::chmod(f.c_str(), 0644);
  ASSERT_TRUE(write_key(f, "k", "3"));
  EXPECT_EQ(mode_of(f), 0600u);
  // Writing where no file can be made fails and leaves nothing behind.
  EXPECT_FALSE(write_key(path("missing-dir/configure.ini"), "k", "1"));
  EXPECT_FALSE(write_key(dir_, "k", "1"));  // a directory is never replaced
  EXPECT_TRUE(std::filesystem::is_directory(dir_));
}

TEST_F(SettingsTest, SeveralKeysInOneWrite) {
  const std::string f = path(kConfigure);
  put(f, "; kept\r\n[b]\r\nb=old\r\n");
  ASSERT_TRUE(write_keys(f, {{"a", "1"}, {"b", "2"}, {"A", "3"}}));
  EXPECT_EQ(read_whole_file(f), "; kept\r\n[b]\r\nb=2\r\n[a]\r\na=3\r\n");
  const ino_t ino = inode_of(f);
  ASSERT_TRUE(write_keys(f, {{"a", "3"}, {"b", "2"}}));
  EXPECT_EQ(inode_of(f), ino);  // unchanged: not rewritten
  EXPECT_FALSE(write_keys(f, {{"a", "9"}, {"", "x"}}));
  EXPECT_EQ(read_key(f, "a"), "3");  // all or nothing
}

TEST_F(SettingsTest, WholeFiles) {
  const std::string f = path(kComplaint);
  EXPECT_EQ(read_whole_file(f), "");
  const std::string bytes("[1]\r\n" "\xD6\xD0\0\xFF" "[1]\r\n", 14);
  ASSERT_TRUE(write_whole_file(f, bytes));
  EXPECT_EQ(read_whole_file(f), bytes);
  EXPECT_EQ(mode_of(f), 0644u);
  ::chmod(f.c_str(), 0640);
  ASSERT_TRUE(write_whole_file(f, "new"));
  EXPECT_EQ(mode_of(f), 0640u);  // an existing file keeps its mode
  ASSERT_TRUE(write_whole_file(f, ""));
  EXPECT_EQ(read_whole_file(f), "");
  // configure.ini written whole is owner-only too.
  ASSERT_TRUE(write_whole_file(path(kConfigure), "[a]\r\na=1\r\n"));
  EXPECT_EQ(mode_of(path(kConfigure)), 0600u);
  // A symbolic link stays a link; its target gets the content.
  ASSERT_TRUE(write_whole_file(path("target.txt"), "t"));
  ASSERT_EQ(::symlink("target.txt", path(kWebHistory).c_str()), 0);
  ASSERT_TRUE(write_whole_file(path(kWebHistory), "http://a.cn"));
  EXPECT_TRUE(std::filesystem::is_symlink(path(kWebHistory)));
  EXPECT_EQ(read_whole_file(path("target.txt")), "http://a.cn");
  EXPECT_TRUE(delete_file(f));
  EXPECT_EQ(read_whole_file(f), "");
  EXPECT_TRUE(delete_file(f));  // already gone
}

TEST_F(SettingsTest, DataDirectory) {
  EXPECT_EQ(portable_data_dir("/opt/tessaro"), "/opt/tessaro/data");
  EXPECT_EQ(data_path("/home/u/.local/share/tessaro/data", kWebHistory), "/home/u/.local/share/tessaro/data/web.txt");
  const std::string data = portable_data_dir(dir_);
  EXPECT_TRUE(make_data_dir(data));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/data"));
  EXPECT_TRUE(make_data_dir(data));  // already there
  // Missing parents are made too (a per-user location on a fresh account).
  EXPECT_TRUE(make_data_dir(dir_ + "/share/tessaro/data/"));
  EXPECT_TRUE(std::filesystem::is_directory(dir_ + "/share/tessaro/data"));
  put(path("file"), "x");
  EXPECT_FALSE(make_data_dir(path("file")));
  EXPECT_FALSE(make_data_dir(path("file") + "/data"));
  EXPECT_EQ(errno, ENOTDIR);
  // A user who deletes the directory loses only the values.
  ASSERT_TRUE(write_key(data_path(data, kConfigure), "k", "v"));
  std::filesystem::remove_all(data);
  EXPECT_EQ(read_key(data_path(data, kConfigure), "k"), "");
  EXPECT_FALSE(write_key(data_path(data, kConfigure), "k", "v"));
  EXPECT_TRUE(make_data_dir(data));
  EXPECT_TRUE(write_key(data_path(data, kConfigure), "k", "v"));
}
