// The shell's plain rules: platform root, address history, menu script, account panel,
// the "Temp" refusal, the maker's site setting and where the data directory is.
#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "app/account_panel.h"
#include "app/address_history.h"
#include "app/app_config.h"
#include "app/backoffice_menu.h"
#include "app/data_directory.h"
#include "settings/settings.h"
#include "text/text.h"
#include "tools/common/tool_context.h"

namespace {

std::string g(const char* utf8) { return text::utf8_to_gbk(utf8); }

TEST(PlatformRoot, CutsAfterFirstCnElseFirstCom) {
  EXPECT_EQ(tools::platform_root("http://www.abc.com/Login.aspx?x=1"), "http://www.abc.com");
  EXPECT_EQ(tools::platform_root("www.abc.com.cn/"), "www.abc.com.cn");
  // ".cn" wins over an earlier ".com".
  EXPECT_EQ(tools::platform_root("http://x.com/path/y.cn/z"), "http://x.com/path/y.cn");
  EXPECT_EQ(tools::platform_root("http://demo.example.com:8080/a"), "http://demo.example.com");
  // Neither marker: empty root.
  EXPECT_EQ(tools::platform_root("http://127.0.0.1:8080/Index.aspx"), "");
  EXPECT_EQ(tools::platform_root(""), "");
  // Marker only in capitals: found without regard to case, cut where it stands.
  EXPECT_EQ(tools::platform_root("HTTP://WWW.ABC.COM/LOGIN.ASPX"), "HTTP://WWW.ABC.COM");
  EXPECT_EQ(tools::platform_root("http://x.Cn/a.com"), "http://x.Cn");
  // Text before the marker is kept as typed (GBK included).
  EXPECT_EQ(tools::platform_root(g("http://卡盟.com/x")), g("http://卡盟.com"));
}

// A marker counts only where it ends a host label: hosts that merely contain "cn" or
// "com" keep their name.
TEST(PlatformRoot, MarkersInsideHostLabelsDoNotCut) {
  EXPECT_EQ(tools::platform_root("http://www.cnkami.com"), "http://www.cnkami.com");
  EXPECT_EQ(tools::platform_root("http://www.cnkami.com/Login.aspx"), "http://www.cnkami.com");
  EXPECT_EQ(tools::platform_root("http://ka.community.com/x"), "http://ka.community.com");
  EXPECT_EQ(tools::platform_root("http://shop.abc.com.cn/SelfProduct/SelfProductList.aspx?page=2"),
            "http://shop.abc.com.cn");
  EXPECT_EQ(tools::platform_root("http://www.cn-ka.com/"), "http://www.cn-ka.com");
  EXPECT_EQ(tools::platform_root("http://www.cn8.com.cn/x"), "http://www.cn8.com.cn");
  EXPECT_EQ(tools::platform_root("http://comic.cnc.com"), "http://comic.cnc.com");
  EXPECT_EQ(tools::platform_root("https://pay.commerce.cn:8443/a"), "https://pay.commerce.cn");
  // A ".com" host with ".cn" in its path: still cut after that ".cn" when it ends a
  // name, kept whole when the ".cn" only starts one.
  EXPECT_EQ(tools::platform_root("http://www.kami.com/img/logo.cn/a.png"), "http://www.kami.com/img/logo.cn");
  EXPECT_EQ(tools::platform_root("http://www.kami.com/?ref=www.abc.cn"), "http://www.kami.com/?ref=www.abc.cn");
  EXPECT_EQ(tools::platform_root("http://www.kami.com/cnkami.cnzz.html"), "http://www.kami.com");
  // Upper case as before: found without regard to case, cut where it stands.
  EXPECT_EQ(tools::platform_root("HTTP://WWW.CNKAMI.COM/LOGIN.ASPX"), "HTTP://WWW.CNKAMI.COM");
  EXPECT_EQ(tools::platform_root("http://Ka.Community.Com.Cn/x"), "http://Ka.Community.Com.Cn");
  // End of text, and a non-ASCII byte after the marker, end a label.
  EXPECT_EQ(tools::platform_root("www.abc.cn"), "www.abc.cn");
  EXPECT_EQ(tools::platform_root(g("http://abc.com卡盟")), "http://abc.com");
  // Neither marker as a whole label: empty.
  EXPECT_EQ(tools::platform_root("http://www.cnkami.comx/"), "");
  EXPECT_EQ(tools::platform_root("http://community.network"), "");
}

TEST(AddressHistory, SubstringRuleAndCleaning) {
  bool changed = true;
  // Present as part of a longer line: not added again.
  EXPECT_EQ(app::history_with("http://a.com:81/x\r\nb.cn", "http://a.com", &changed),
            "http://a.com:81/x\r\nb.cn");
  EXPECT_FALSE(changed);
  // Case matters for the substring test.
  EXPECT_EQ(app::history_with("http://A.com", "http://a.com", &changed), "http://A.com\r\nhttp://a.com");
  EXPECT_TRUE(changed);
  // First address of an empty history: the leading line end goes.
  EXPECT_EQ(app::history_with("", "x.com", &changed), "x.com");
  EXPECT_TRUE(changed);
  // An empty address always occurs: nothing written.
  app::history_with("a.com", "", &changed);
  EXPECT_FALSE(changed);
  // Blank and white-space lines go; order stays.
  EXPECT_EQ(app::history_with("a.com\r\n\r\n \r\nb.com", "c.com", &changed), "a.com\r\nb.com\r\nc.com");
  EXPECT_EQ(app::history_with("a.com\r\n", "c.com", &changed), "a.com\r\nc.com");
}

class HistoryFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("tessaro-hist-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    file_ = (dir_ / "web.txt").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
  std::string file_;
};

TEST_F(HistoryFile, MissingFileStartsWithOneLineAndListFollowsFile) {
  auto items = app::load_address_history(file_, "http://a.com");
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(settings::read_whole_file(file_), "http://a.com");
  items = app::load_address_history(file_, "http://b.cn");
  EXPECT_EQ(items, (std::vector<std::string>{"http://a.com", "http://b.cn"}));
  // Re-recording an old address never reorders.
  items = app::load_address_history(file_, "http://a.com");
  EXPECT_EQ(settings::read_whole_file(file_), "http://a.com\r\nhttp://b.cn");
}

TEST_F(HistoryFile, HundredThousandLines) {
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "http://site" + std::to_string(i) + ".com\r\n";
  big.resize(big.size() - 2);
  settings::write_whole_file(file_, big);
  auto items = app::load_address_history(file_, "http://new.cn");
  ASSERT_EQ(items.size(), 100001u);
  EXPECT_EQ(items.front(), "http://site0.com");
  EXPECT_EQ(items.back(), "http://new.cn");
  items = app::load_address_history(file_, "http://site99999.com");
  EXPECT_EQ(items.size(), 100001u);
}

TEST(BackofficeMenu, ScriptLinesAndTable) {
  const std::string script = app::objclick_script(g("查看商品目录"));
  const std::string expected = std::string("function objclick(name, text) {\r\n") +
                               "  var x = document.getElementsByTagName(name);\r\n" +
                               "  for (var i = 0; i < x.length; i++) {\r\n" +
                               "    if (new RegExp('^(' + text + ')$', 'i').test(x[i].value || x[i].innerHTML)) {\r\n" +
                               "      x[i].click(); break\r\n" + "    }\r\n" + "  }\r\n" + "};\r\n" +
                               "objclick(\"A\", \"" + g("查看商品目录") + "\")";
  EXPECT_EQ(script, expected);
  ASSERT_EQ(app::sections().size(), 4u);
  EXPECT_EQ(app::sections()[2].entries.size(), 5u);
  EXPECT_EQ(app::menu_link_for(g("直充库存管理")), g("直充商品库存管理"));
  EXPECT_EQ(app::menu_link_for(g("卡密库存管理")), g("卡密商品库存管理"));
  EXPECT_EQ(app::menu_link_for(g("收入转余额")), g("供货收入转至余额"));
  EXPECT_EQ(app::menu_link_for(g("一卡通明细查询")), g("一卡通明细查询"));
  EXPECT_EQ(app::menu_link_for(g("不存在")), "");
}

TEST(AccountPanel, ComposedFromLegacyHtml) {
  const std::string html = g(
      "<P>欢迎您，<SPAN id=lblUserName>demo</SPAN></P><TABLE><TR><TD>编 号：10086</TD>"
      "<TD>级 别：金牌供货商</TD><TD>余 额：<SPAN id=Balance class=yue>1234.56</SPAN> 元</TD>");
  EXPECT_EQ(app::account_panel_text(app::read_account_details(html)),
            g("demo 编号：10086  级别：金牌供货商  余额：1234.56元"));
  // Missing balance span: "  余额：" directly followed by "元".
  EXPECT_EQ(app::account_panel_text(app::read_account_details(g("<span id=lblusername>x</span>编 号1<"))),
            g("x 编号1  级别  余额：元"));
  EXPECT_EQ(app::account_panel_text(app::read_account_details("")), g(" 编号  级别  余额：元"));
}

TEST(StartupRules, TempRefusalIsCaseSensitive) {
  EXPECT_TRUE(app::refused_exe_dir("/home/u/Temporary/tool"));
  EXPECT_TRUE(app::refused_exe_dir("/tmp/Temp"));
  EXPECT_FALSE(app::refused_exe_dir("/home/u/temp/tool"));
  EXPECT_FALSE(app::refused_exe_dir("/home/u/TEMP/tool"));
}

TEST_F(HistoryFile, MakerSiteIsOptionalAndAbsentByDefault) {
  const std::string data = dir_.string() + "/data";
  // A fresh install: no data directory, no configure.ini.
  EXPECT_EQ(app::maker_site(data), "");
  EXPECT_EQ(app::home_page_address(app::maker_site(data)), QStringLiteral("qrc:/tessaro/start.html"));
  settings::make_data_dir(data);
  const std::string ini = settings::data_path(data, settings::kConfigure);
  settings::write_key(ini, g("网页地址"), "http://demo.example.com");  // other keys only
  EXPECT_EQ(app::maker_site(data), "");
  settings::write_key(ini, g(app::kMakerSiteKeyUtf8), "  http://demo.example.com/ ");
  EXPECT_EQ(app::maker_site(data), "http://demo.example.com");
  EXPECT_EQ(app::maker_page(app::maker_site(data), app::kNoticePath), "http://demo.example.com/xzrj.htm");
  EXPECT_EQ(app::home_page_address(app::maker_site(data)), QStringLiteral("http://demo.example.com/maker/index.htm"));
  settings::write_key(ini, g(app::kMakerSiteKeyUtf8), " ");
  EXPECT_EQ(app::maker_site(data), "");
  EXPECT_EQ(app::maker_page("", app::kHomePath), "");
  EXPECT_EQ(app::home_page_address(""), QStringLiteral("qrc:/tessaro/start.html"));
}


// ---------------------------------------------------------------------------------
// Where the data directory is

using DataDirectory = HistoryFile;

bool is_dir(const std::string& p) { return std::filesystem::is_directory(p); }
void put(const std::string& path, const std::string& text) { std::ofstream(path) << text; }
std::string contents(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(DataDirectory, PortableInstalledAndChosenOnTheCommandLine) {
  namespace fs = std::filesystem;
  const std::string root = dir_.string();
  const std::string user = root + "/home/.local/share/tessaro/data";
  // Portable: data/ beside the executable, created; the per-user location is not touched.
  fs::create_directories(root + "/tool");
  app::DataDirChoice c = app::choose_data_dir({root + "/tool", "", user, root});
  EXPECT_EQ(c.dir, root + "/tool/data");
  EXPECT_EQ(c.mode, app::DataDirMode::portable);
  EXPECT_EQ(c.notice, "");
  EXPECT_EQ(c.problem, "");
  EXPECT_TRUE(is_dir(c.dir));
  EXPECT_FALSE(fs::exists(root + "/home"));
  // Installed: the marker beside bin/ decides; nothing is made beside the executable.
  fs::create_directories(root + "/usr/bin");
  fs::create_directories(root + "/usr/share/tessaro");
  put(root + "/usr/share/tessaro/installed", "");
  EXPECT_TRUE(app::installed_beside(root + "/usr/bin"));
  c = app::choose_data_dir({root + "/usr/bin", "", user + "/", root});
  EXPECT_EQ(c.dir, user);
  EXPECT_EQ(c.mode, app::DataDirMode::installed);
  EXPECT_TRUE(is_dir(user));  // with its missing parents
  EXPECT_FALSE(fs::exists(root + "/usr/bin/data"));
  // Only a file marks: a folder of that name does not.
  fs::create_directories(root + "/opt/bin");
  fs::create_directories(root + "/opt/share/tessaro/installed");
  EXPECT_EQ(app::choose_data_dir({root + "/opt/bin", "", user, root}).dir, root + "/opt/bin/data");
  // --data-dir wins over both: relative to the working folder, tidied, created.
  c = app::choose_data_dir({root + "/usr/bin", "work/../chosen/", user, root});
  EXPECT_EQ(c.dir, root + "/chosen");
  EXPECT_EQ(c.mode, app::DataDirMode::option);
  EXPECT_TRUE(is_dir(c.dir));
  c = app::choose_data_dir({root + "/tool", root + "/abs/new/data", user, "/"});
  EXPECT_EQ(c.dir, root + "/abs/new/data");
  EXPECT_TRUE(is_dir(c.dir));
}

TEST_F(DataDirectory, RefusedWithAClearMessageAndNothingLost) {
  const std::string root = dir_.string();
  const std::string exe = root + "/tool";
  std::filesystem::create_directories(exe);
  put(root + "/notes.txt", "keep me");
  struct Case {
    const char* name;
    app::DataDirRequest request;
    const char* says;
  };
  std::filesystem::create_directories(root + "/usr/bin");
  std::filesystem::create_directories(root + "/usr/share/tessaro");
  put(root + "/usr/share/tessaro/installed", "");
  const std::vector<Case> cases = {
      {"--data-dir names a file", {exe, root + "/notes.txt", root + "/u", root}, " 不是文件夹"},
      {"--data-dir cannot be made", {exe, root + "/notes.txt/data", root + "/u", root}, "无法创建数据目录 "},
      {"per-user location cannot be made", {root + "/usr/bin", "", root + "/notes.txt/tessaro/data", root},
       "无法创建用户数据目录 "},
      {"no home directory", {root + "/usr/bin", "", "", root}, "找不到用户主目录"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const app::DataDirChoice choice = app::choose_data_dir(c.request);
    EXPECT_EQ(choice.dir, "");
    EXPECT_NE(choice.problem.find(c.says), std::string::npos) << choice.problem;
    EXPECT_EQ(choice.problem.find('\n'), std::string::npos);
    if (!c.request.option.empty()) EXPECT_NE(choice.problem.find(c.request.option), std::string::npos);
  }
  EXPECT_EQ(contents(root + "/notes.txt"), "keep me");
  EXPECT_FALSE(std::filesystem::exists(exe + "/data"));
  EXPECT_FALSE(std::filesystem::exists(root + "/usr/bin/data"));
}

// Runs check as an ordinary user (in a child process when this one is root, whom the
// system lets write anywhere); true when it held.
bool as_ordinary_user(const std::function<bool()>& check) {
  if (::geteuid() != 0) return check();
  const pid_t pid = ::fork();
  if (pid == 0) {
    const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
    std::fflush(nullptr);
    ::_exit(dropped && check() ? 0 : 1);
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// A folder the user may not write: --data-dir is refused; a portable folder falls back
// to the per-user location with a one-line notice.
TEST_F(DataDirectory, FoldersThatCannotBeWritten) {
  namespace fs = std::filesystem;
  const std::string root = dir_.string();
  fs::create_directories(root + "/readonly");
  fs::create_directories(root + "/unpacked");                // a portable folder on read-only media
  fs::create_directories(root + "/unpacked-with-data/data");  // the same with its data folder
  fs::create_directories(root + "/home");
  for (const char* d : {"/readonly", "/unpacked", "/unpacked-with-data/data", "/unpacked-with-data"})
    fs::permissions(root + d, fs::perms(0555));
  fs::permissions(root + "/home", fs::perms(0777));
  fs::permissions(root, fs::perms(0755));
  const std::string user = root + "/home/tessaro/data";
  const bool held = as_ordinary_user([&] {
    auto expect = [](bool ok, const std::string& what) {
      if (!ok) std::fprintf(stderr, "not as expected: %s\n", what.c_str());
      return ok;
    };
    bool ok = true;
    app::DataDirChoice c = app::choose_data_dir({root + "/unpacked", root + "/readonly", user, root});
    ok &= expect(c.dir.empty() && c.problem == "数据目录 " + root + "/readonly 不可写", c.problem);
    c = app::choose_data_dir({root + "/unpacked", root + "/readonly/data", user, root});
    ok &= expect(c.dir.empty() && c.problem.find("无法创建数据目录 " + root + "/readonly/data：") == 0, c.problem);
    for (const char* exe : {"/unpacked", "/unpacked-with-data"}) {
      c = app::choose_data_dir({root + exe, "", user, root});
      ok &= expect(c.dir == user && c.mode == app::DataDirMode::fallback && is_dir(user), c.dir + c.problem);
      ok &= expect(c.notice == "数据目录 " + root + exe + "/data 不可写，改用 " + user, c.notice);
    }
    return ok;
  });
  EXPECT_TRUE(held);
  EXPECT_FALSE(fs::exists(root + "/unpacked/data"));
  for (const char* d : {"/readonly", "/unpacked", "/unpacked-with-data/data", "/unpacked-with-data"})
    fs::permissions(root + d, fs::perms(0755));
}

// The per-user location: XDG_DATA_HOME, else ~/.local/share; without HOME the home
// directory of the password database (and ensure_home() puts it into HOME).
TEST(DataDirectoryHome, PerUserLocationWithAndWithoutHome) {
  auto saved = [](const char* name) -> std::optional<std::string> {
    const char* v = std::getenv(name);
    return v ? std::optional<std::string>(v) : std::nullopt;
  };
  const auto home = saved("HOME"), xdg = saved("XDG_DATA_HOME");
  const passwd* pw = ::getpwuid(::getuid());
  ASSERT_NE(pw, nullptr);
  const std::string db_home = pw->pw_dir;

  ::setenv("XDG_DATA_HOME", "/srv/x/data-home", 1);
  ::setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(app::user_data_dir(), "/srv/x/data-home/tessaro/data");
  ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(app::user_data_dir(), "/home/someone/.local/share/tessaro/data");
  ::unsetenv("HOME");
  EXPECT_EQ(app::user_data_dir(), db_home + "/.local/share/tessaro/data");
  ::setenv("HOME", "", 1);
  EXPECT_EQ(app::user_data_dir(), db_home + "/.local/share/tessaro/data");
  app::ensure_home();
  EXPECT_STREQ(std::getenv("HOME"), db_home.c_str());
  ::setenv("HOME", "/home/someone", 1);
  app::ensure_home();  // a HOME that is set stays
  EXPECT_STREQ(std::getenv("HOME"), "/home/someone");

  if (home) ::setenv("HOME", home->c_str(), 1); else ::unsetenv("HOME");
  if (xdg) ::setenv("XDG_DATA_HOME", xdg->c_str(), 1); else ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
