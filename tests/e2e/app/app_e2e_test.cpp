// The shell end to end: the real main window and browser window against the demo back
// office (four demo servers, one per login theme) and a server that never finishes a page.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QVBoxLayout>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QSettings>
#include <QMenu>
#include <QMenuBar>
#include <QTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "app/app_config.h"
#include "app/browser_window.h"
#include "app/main_window.h"
#include "tools/common/journal.h"
#include "tools/common/run_mode.h"
#include "tools/common/journal_store.h"
#include "tools/journal/journal_window.h"
#include "app/maker_notice.h"
#include <QPlainTextEdit>
#include "tools/publishing/publishing_window.h"
#include "app_exits.h"
#include "demo_process.h"
#include "e2e_support.h"
#include "page/live_page.h"
#include "page/page_snapshot.h"
#include "platform/browser_view.h"
#include "platform/dom_bridge.h"
#include "platform/gbk.h"
#include "platform/waits.h"
#include "qt_test_hooks.h"
#include "settings/settings.h"
#include "text/text.h"
#include "tool_harness.h"

using harness::spoken_name;
using harness::u;

namespace {

bool child_mode() { return std::getenv("TESSARO_APP_TEST_CHILD") != nullptr; }

std::vector<std::unique_ptr<testsupport::DemoProcess>> g_demos;  // themes 1..4
int g_hang_port = 0;

// A server that sends the start of a page and never finishes it.
void start_hanging_server() {
  int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 16) != 0) return;
  socklen_t len = sizeof addr;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  g_hang_port = ntohs(addr.sin_port);
  std::thread([fd] {
    std::vector<int> open;
    for (;;) {
      int c = ::accept(fd, nullptr, nullptr);
      if (c < 0) continue;
      char buf[4096];
      (void)::recv(c, buf, sizeof buf, 0);
      const char head[] =
          "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 1000000\r\n\r\n"
          "<html><head><title>slow</title></head><body><p>loading";
      (void)::send(c, head, sizeof head - 1, MSG_NOSIGNAL);
      open.push_back(c);  // kept open: the page never completes
    }
  }).detach();
}

std::string base(int theme) {
  return theme == 1 ? std::string("http://demo.example.com") : "http://theme" + std::to_string(theme) + ".example.com";
}

QString qs(const std::string& s) { return QString::fromStdString(s); }

const QString kStartPage = QStringLiteral("qrc:/tessaro/start.html");

}  // namespace

void tessaro_test_before_app(std::vector<std::string>& args) {
  if (child_mode()) return;
  harness::record_exits();
  std::string rules;
  for (int theme = 1; theme <= 4; ++theme) {
    auto demo = std::make_unique<testsupport::DemoProcess>();
    if (!demo->start({"--theme", std::to_string(theme), "--captcha", "1234", "--seed", "7"})) {
      std::fprintf(stderr, "demo back office (theme %d) did not start\n", theme);
      std::exit(1);
    }
    std::string host = theme == 1 ? "demo.example.com" : "theme" + std::to_string(theme) + ".example.com";
    rules += (rules.empty() ? "" : ", ") + std::string("MAP ") + host + " 127.0.0.1:" + std::to_string(demo->port());
    g_demos.push_back(std::move(demo));
  }
  start_hanging_server();
  rules += ", MAP hang.example.com 127.0.0.1:" + std::to_string(g_hang_port);
  args.push_back("--host-resolver-rules=\"" + rules + "\"");
}

void tessaro_test_after_all() { g_demos.clear(); }

namespace {

class Shell : public ::testing::Test {
 protected:
  void SetUp() override {
    if (child_mode()) GTEST_SKIP() << "child mode";
    platform::set_wait_scale(0.5);
    harness::exit_codes().clear();
    for (auto& d : g_demos) d->post("/demo/reset", "");
  }
  void TearDown() override {
    window_.reset();
    platform::set_wait_scale(1.0);
  }

  // A main window on a fresh executable directory (no configure.ini: no maker's site)
  // or with the maker's site given.
  app::MainWindow& start(const std::string& name = "app", const char* site = nullptr) {
    exe_dir_ = e2e::fresh_exe_dir(name);
    if (site) e2e::write_config(exe_dir_, app::kMakerSiteKeyUtf8, site);
    return start_in(exe_dir_);
  }
  app::MainWindow& start_in(const std::string& exe_dir) {
    exe_dir_ = exe_dir;
    window_ = std::make_unique<app::MainWindow>(exe_dir_);
    window_->show();
    started_ = window_->start_up();
    return *window_;
  }

  template <class T>
  T* child(const char* name) {
    T* w = window_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLineEdit* box(const char* name) { return child<QLineEdit>(name); }
  QPushButton* button_with(const QString& caption) {
    for (QPushButton* b : window_->findChildren<QPushButton*>())
      if (b->text() == caption) return b;
    return nullptr;
  }
  platform::BrowserView* browser() { return window_->main_browser(); }

  void open_login(int theme) {
    box("address")->setText(qs(base(theme)));
    window_->go();
    ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(theme)))) << browser()->url().toString().toStdString();
  }

  QJsonObject demo_state(int theme = 1) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(g_demos[theme - 1]->get("/demo/state.json"))).object();
  }
  QStringList visits(int theme = 1) {
    QStringList out;
    for (const auto& v : demo_state(theme).value("visits").toArray()) out << v.toString();
    return out;
  }
  std::string web_txt() { return settings::read_whole_file(e2e::data_file(exe_dir_, settings::kWebHistory)); }

  std::string exe_dir_;
  std::unique_ptr<app::MainWindow> window_;
  bool started_ = false;
};

// ---------------------------------------------------------------------------------
// Windows and start-up

TEST_F(Shell, WindowsTitlesCaptionsAndBrowserWindowRules) {
  app::MainWindow& w = start();
  ASSERT_TRUE(started_);
  EXPECT_EQ(w.windowTitle(), u("Quillory-TessaroV4.3正式版"));
  ASSERT_NE(w.browser_window(), nullptr);
  EXPECT_EQ(w.browser_window()->windowTitle(), u("Quillory-TessaroV4.3正式版-网页浏览框"));
  EXPECT_TRUE(w.browser_window()->isVisible());
  EXPECT_EQ(w.browser_window()->parent(), nullptr);

  QStringList groups;
  for (auto* g : w.findChildren<QGroupBox*>()) groups << g->title();
  EXPECT_EQ(groups, (QStringList{u("平台登录"), u("平台辅助功能"), u("供货商及站长功能"), u("其他功能"), u("其他功能")}));
  for (const char* caption : {"单击显验证码", "登录(Enter)", "跳转(Enter)", "刷新", "主页", "返回主页", "清空",
                              "自动上架商品", "[完美]设类型模版", "自动库存+定价", "销售全部商品", "暂停全部商品",
                              "禁售全部商品", "删除卡密库存", "投诉批量处理", "订单自动处理", "[hot]批量注册",
                              "[完美]批量导卡", "商品名字批量编辑", "卡盟收录提交", "代理资料导出",
                              "获取永硕E盘目录", "迅雷会员", "说说秒赞"}) {
    QPushButton* b = button_with(u(caption));
    ASSERT_NE(b, nullptr) << caption;
    // What assistive tools read: the fixed name, or the current text when none is set.
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(QAccessible::Name), u(caption));
  }
  // The customer tools are part of this build.
  EXPECT_TRUE(button_with(u("投诉批量处理"))->isEnabled());
  EXPECT_TRUE(button_with(u("订单自动处理"))->isEnabled());
  // So are the registration and pricing tools.
  EXPECT_TRUE(button_with(u("[hot]批量注册"))->isEnabled());
  EXPECT_TRUE(button_with(u("自动库存+定价"))->isEnabled());
  // The status buttons' captions change during a run: no fixed name.
  for (const char* caption : {"销售全部商品", "暂停全部商品", "禁售全部商品"})
    EXPECT_TRUE(button_with(u(caption))->accessibleName().isEmpty()) << caption;
  int waiting = 0;
  for (auto* b : w.findChildren<QPushButton*>()) waiting += b->text() == u("等待建议");
  EXPECT_EQ(waiting, 5);
  EXPECT_FALSE(button_with(u("登录(Enter)"))->isEnabled());  // until the captcha is shown
  EXPECT_EQ(child<QPushButton>("back_button")->accessibleName(), u("后退"));
  EXPECT_EQ(child<QPushButton>("forward_button")->accessibleName(), u("前进"));
  EXPECT_TRUE(child<QPushButton>("back_button")->text().isEmpty());
  EXPECT_EQ(box("account")->accessibleName(), u("帐"));
  EXPECT_EQ(box("password")->accessibleName(), u("密"));
  EXPECT_EQ(box("captcha")->accessibleName(), u("验"));
  EXPECT_EQ(child<QCheckBox>("show_password")->text(), u("明"));
  QStringList items;
  auto* sections = child<QComboBox>("section_list");
  for (int i = 0; i < sections->count(); ++i) items << sections->itemText(i);
  EXPECT_EQ(items, (QStringList{u("网吧售卡中心"), u("经销商系统"), u("供货商系统"), u("一卡通代理")}));
  EXPECT_EQ(child<QComboBox>("menu_list")->count(), 0);
  EXPECT_TRUE(child<QWidget>("working_box")->isHidden());
  EXPECT_TRUE(child<QWidget>("status_browser")->isHidden());

  // "等待建议" and the peripheral tools answer with a message.
  QString seen;
  e2e::answer_box(u("信息："), u("确定"), &seen);
  button_with(u("等待建议"))->click();
  EXPECT_EQ(seen, u("需要新功能欢迎联系我哦！"));
  seen.clear();
  e2e::answer_box(u("信息："), u("确定"), &seen);
  button_with(u("说说秒赞"))->click();
  EXPECT_FALSE(seen.isEmpty());

  // The browser window refuses to close, titled with the main window's current title.
  w.setWindowTitle(u("改过的标题"));
  seen.clear();
  QString title_seen;
  e2e::answer_box(u("改过的标题"), u("确定"), &seen);
  EXPECT_FALSE(w.browser_window()->close());
  EXPECT_EQ(seen, u("该窗口无法关闭，如需关闭软件，请将主窗口关闭即可"));
  EXPECT_TRUE(w.browser_window()->isVisible());

  // The browser fills the window's client area, after resizing and moving too.
  app::BrowserWindow* bw = w.browser_window();
  EXPECT_EQ(bw->view()->geometry(), bw->rect());
  bw->resize(900, 600);
  bw->move(bw->x() + 30, bw->y() + 20);
  QTest::qWait(100);
  EXPECT_EQ(bw->view()->geometry(), QRect(0, 0, 900, 600));
  EXPECT_EQ(bw->view()->geometry(), bw->rect());
}

// A fresh install: no configure.ini at all. No question, no maker's site; the browser
// shows the built-in start page, on which the page objects work as on any page, and
// from which the user reaches the platform.
TEST_F(Shell, FreshInstallStartsOnTheStartPageWithoutAQuestion) {
  exe_dir_ = e2e::fresh_exe_dir("fresh-install");
  const std::string ini = e2e::data_file(exe_dir_, settings::kConfigure);
  ASSERT_FALSE(QFile::exists(qs(ini)));
  e2e::BoxWatch boxes;
  app::MainWindow& w = start_in(exe_dir_);
  ASSERT_TRUE(started_);
  EXPECT_EQ(w.maker_site(), "");
  platform::BrowserView* view = browser();
  ASSERT_TRUE(e2e::wait_loaded(view, kStartPage)) << view->url().toString().toStdString();
  QTest::qWait(300);
  EXPECT_TRUE(boxes.seen().isEmpty()) << boxes.seen().join(" / ").toStdString();
  EXPECT_EQ(view->url().toString(), kStartPage);
  EXPECT_EQ(view->title(), u("Tessaro"));
  EXPECT_TRUE(child<QWidget>("friend_link")->isHidden());
  EXPECT_FALSE(w.findChild<QAction*>("help_action")->isEnabled());
  EXPECT_FALSE(w.findChild<QAction*>("feedback_action")->isEnabled());
  EXPECT_EQ(box("address")->text(), QString());
  // The periodic save writes the main window's keys, never a maker's site.
  ASSERT_TRUE(e2e::wait_for([&] { return e2e::read_config(exe_dir_, "选择框1") == "真"; }));
  EXPECT_FALSE(settings::has_key(ini, text::utf8_to_gbk(app::kMakerSiteKeyUtf8)));

  // The page objects on the start page.
  page::PageSnapshot snap;
  ASSERT_TRUE(snap.attach_page(view));
  EXPECT_EQ(snap.counts().list_items, 16);  // four login steps, twelve tool lines
  const std::string body = snap.get_body_html();
  for (const char* text : {"第一次登录", "网页地址:", "跳转(Enter)", "单击显验证码", "自动上架商品", "卡盟收录提交"})
    EXPECT_NE(body.find(text::utf8_to_gbk(text)), std::string::npos) << text;
  page::LivePage live;
  ASSERT_TRUE(live.attach_live_page(view));
  EXPECT_NE(live.get_document_html().find("<TITLE>Tessaro</TITLE>"), std::string::npos);
  EXPECT_TRUE(live.run_script("document.title = 'ran'", 0));
  EXPECT_TRUE(e2e::wait_for([&] { return view->title() == u("ran"); }));

  // The first login's first step from here: type the platform address, go.
  open_login(1);
  EXPECT_EQ(box("address")->text(), qs(base(1)));
  // "主页" comes back to the start page.
  button_with(u("主页"))->click();
  ASSERT_TRUE(e2e::wait_loaded(view, kStartPage));
  EXPECT_EQ(view->title(), u("Tessaro"));
  child<QPushButton>("back_button")->click();
  ASSERT_TRUE(e2e::wait_loaded(view, qs(base(1))));
  EXPECT_TRUE(boxes.seen().isEmpty()) << boxes.seen().join(" / ").toStdString();
}

TEST_F(Shell, StartupRestoresBoxesAndFreshDirectoryStartsEmpty) {
  {
    start("fresh", "");  // configure.ini holds only the switched-off maker's site
    ASSERT_TRUE(started_);
    EXPECT_EQ(box("account")->text(), QString());
    EXPECT_EQ(box("password")->text(), QString());
    EXPECT_EQ(box("address")->text(), QString());  // the built-in home address is replaced
    window_.reset();
  }
  std::string dir = e2e::fresh_exe_dir("restore");
  e2e::write_config(dir, app::kMakerSiteKeyUtf8, "");
  e2e::write_config(dir, "保存帐", "pw密码");
  e2e::write_config(dir, "保存密", "帐号acc");
  e2e::write_config(dir, "网页地址", "http://demo.example.com");
  // The periodic save runs before start-up restored the values: it must not write.
  window_ = std::make_unique<app::MainWindow>(dir);
  exe_dir_ = dir;
  QTest::qWait(300);
  EXPECT_EQ(e2e::read_config(dir, "保存密"), "帐号acc");
  ASSERT_TRUE(window_->start_up());
  EXPECT_EQ(box("password")->text(), u("pw密码"));
  EXPECT_EQ(box("account")->text(), u("帐号acc"));
  EXPECT_EQ(box("address")->text(), u("http://demo.example.com"));
  // Start-up recorded the address in the history.
  EXPECT_EQ(web_txt(), "http://demo.example.com");
  EXPECT_EQ(child<QComboBox>("history_list")->count(), 1);
}

TEST_F(Shell, GarbageConfigureIniStartsWithWhatCanBeRead) {
  std::string dir = e2e::fresh_exe_dir("garbage");
  settings::make_data_dir(settings::portable_data_dir(dir));
  std::string junk;
  for (int i = 0; i < 5000; ++i) junk += static_cast<char>((i * 7919) % 256);
  junk += "\r\n[" + text::utf8_to_gbk("网页地址") + "]\r\n" + text::utf8_to_gbk("网页地址") + "=http://x.com\r\n[[[]]]=\r\n=\r\n";
  settings::write_whole_file(e2e::data_file(dir, settings::kConfigure), junk);
  e2e::write_config(dir, app::kMakerSiteKeyUtf8, "");
  start_in(dir);
  ASSERT_TRUE(started_);
  EXPECT_EQ(box("address")->text(), u("http://x.com"));
  QTest::qWait(200);
  EXPECT_EQ(e2e::read_config(dir, "选择框1"), "真");
}

TEST_F(Shell, PeriodicSaveWritesWhatIsTyped) {
  start();
  QTest::keyClicks(box("account"), "supplier01");
  QTest::keyClicks(box("password"), "secret");
  box("address")->setText(u("http://卡盟.example.com"));
  QTest::qWait(200);
  EXPECT_EQ(e2e::read_config(exe_dir_, "保存密"), "supplier01");
  EXPECT_EQ(e2e::read_config(exe_dir_, "保存帐"), "secret");
  EXPECT_EQ(e2e::read_config(exe_dir_, "选择框1"), "真");
  EXPECT_EQ(e2e::read_config(exe_dir_, "网页地址"), "http://卡盟.example.com");
  // Key order in the file: 保存帐, 保存密, 选择框1, 网页地址 (the site key written by the test first).
  std::string file = text::gbk_to_utf8(settings::read_whole_file(e2e::data_file(exe_dir_, settings::kConfigure)));
  auto a = file.find("[保存帐]"), b = file.find("[保存密]"), c = file.find("[选择框1]"), d = file.find("[网页地址]");
  EXPECT_TRUE(a < b && b < c && c < d) << file;
}

TEST_F(Shell, StartedFromTempFolderIsRefused) {
  std::string dir = e2e::fresh_exe_dir("Temporary/tool");
  QString seen;
  e2e::answer_box(u("提示："), u("确定"), &seen);
  start_in(dir);
  EXPECT_FALSE(started_);
  EXPECT_EQ(seen, u("请先解压该软件!"));
  EXPECT_EQ(harness::exit_codes(), std::vector<int>{0});
  EXPECT_EQ(window_->browser_window(), nullptr);
  // Lower case is not refused.
  window_.reset();
  std::string lower = e2e::fresh_exe_dir("temp/tool");
  e2e::write_config(lower, app::kMakerSiteKeyUtf8, "");
  start_in(lower);
  EXPECT_TRUE(started_);
}

// ---------------------------------------------------------------------------------
// Login and captcha

TEST_F(Shell, LoginOnEveryThemeFillsTheFormAndShowsTheAccount) {
  app::MainWindow& w = start();
  for (int theme = 1; theme <= 4; ++theme) {
    SCOPED_TRACE(theme);
    g_demos[theme - 1]->get("/Logout.aspx");
    open_login(theme);
    child<QPushButton>("captcha_button")->click();
    EXPECT_TRUE(child<QPushButton>("login_button")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("captcha_button")->text().isEmpty());
    box("account")->setText(u("demo"));
    box("password")->setText(u("demo123"));
    box("captcha")->setText(u("1234"));
    child<QLabel>("account_panel")->clear();
    child<QPushButton>("login_button")->click();
    EXPECT_EQ(child<QLabel>("account_panel")->text(), u("demo 编号：10086  级别：金牌供货商  余额：1234.56元"));
    EXPECT_EQ(spoken_name(child<QLabel>("account_panel")), u("demo 编号：10086  级别：金牌供货商  余额：1234.56元"));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(u("lblUserName")));
    EXPECT_TRUE(QGuiApplication::clipboard()->text().contains(u("金牌供货商")));
    EXPECT_EQ(demo_state(theme).value("logins").toObject().value("ok").toInt(), 1);
    // Log out in the browser for the next round.
    browser()->navigate(qs(base(theme) + "/Logout.aspx"));
    ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(theme) + "/Login.aspx")));
  }
  (void)w;
}

TEST_F(Shell, WrongCaptchaLeavesThePanelWithEmptyParts) {
  start();
  open_login(1);
  box("account")->setText(u("demo"));
  box("password")->setText(u("demo123"));
  box("captcha")->setText(u("9999"));
  // Enter in the captcha box logs in; the platform's message box is confirmed automatically.
  QTest::keyClick(box("captcha"), Qt::Key_Return);
  EXPECT_EQ(child<QLabel>("account_panel")->text(), u(" 编号  级别  余额：元"));
  EXPECT_EQ(demo_state().value("logins").toObject().value("failed").toInt(), 1);
}

TEST_F(Shell, EnterKeysAndFocusCycle) {
  start();
  open_login(1);
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  QLabel* panel = child<QLabel>("account_panel");
  panel->setText(u("unchanged"));
  // Enter in the password box does nothing.
  box("password")->setFocus();
  QTest::keyClick(box("password"), Qt::Key_Return);
  QTest::qWait(2000);
  EXPECT_EQ(panel->text(), u("unchanged"));
  EXPECT_EQ(demo_state().value("logins").toObject().value("failed").toInt(), 0);
  // Enter in the account box logs in (empty captcha: every field filled with empty text).
  QTest::keyClick(box("account"), Qt::Key_Return);
  EXPECT_NE(panel->text(), u("unchanged"));
  EXPECT_EQ(demo_state().value("logins").toObject().value("failed").toInt(), 1);

  // Tab cycles password -> account -> captcha -> address -> password.
  window_->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  box("password")->setFocus();
  const char* order[] = {"account", "captcha", "address", "password", "account"};
  for (const char* next : order) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), box(next)) << next;
  }
  // Show-password box: plain when ticked, masked again when cleared; by a click, and
  // by the toggle of the accessibility interface (which changes the state only).
  auto* show = child<QCheckBox>("show_password");
  show->click();
  EXPECT_EQ(box("password")->echoMode(), QLineEdit::Normal);
  show->click();
  EXPECT_EQ(box("password")->echoMode(), QLineEdit::Password);
  QAccessibleInterface* a11y = QAccessible::queryAccessibleInterface(show);
  ASSERT_TRUE(a11y && a11y->actionInterface());
  EXPECT_TRUE(a11y->actionInterface()->actionNames().contains(QAccessibleActionInterface::toggleAction()));
  a11y->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_TRUE(show->isChecked());
  EXPECT_EQ(box("password")->echoMode(), QLineEdit::Normal);
  a11y->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  EXPECT_FALSE(show->isChecked());
  EXPECT_EQ(box("password")->echoMode(), QLineEdit::Password);

  // Another active window keeps its Tab.
  app::BrowserWindow* bw = window_->browser_window();
  auto* other = new QLineEdit;
  auto* other2 = new QLineEdit;
  QWidget tool;
  auto* layout = new QVBoxLayout(&tool);
  layout->addWidget(other);
  layout->addWidget(other2);
  tool.show();
  tool.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&tool));
  other->setFocus();
  QTest::keyClick(other, Qt::Key_Tab);
  EXPECT_EQ(QApplication::focusWidget(), other2);
  (void)bw;
}

TEST_F(Shell, CaptchaButtonShowsThePagesOwnPicture) {
  start();
  open_login(1);
  child<QPushButton>("captcha_button")->click();
  QIcon icon = child<QPushButton>("captcha_button")->icon();
  ASSERT_FALSE(icon.isNull());
  QSize size = child<QPushButton>("captcha_button")->iconSize();
  QImage shown = icon.pixmap(size).toImage().convertToFormat(QImage::Format_RGB32);
  // The picture the page shows, drawn from the page's own image element.
  bool ok = false;
  QJsonValue v = browser()->bridge().run_main_world(
      QStringLiteral("(function(){var i=document.querySelector('img[src*=\"Handler.ashx\"]');"
                     "var c=document.createElement('canvas');c.width=i.naturalWidth;c.height=i.naturalHeight;"
                     "c.getContext('2d').drawImage(i,0,0);return c.toDataURL('image/png');})()"),
      &ok, 3000);
  ASSERT_TRUE(ok);
  QByteArray png = QByteArray::fromBase64(v.toString().section(',', 1).toLatin1());
  QImage page = QImage::fromData(png, "PNG").convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(page.isNull());
  EXPECT_EQ(shown.size(), page.size());
  // Same picture, allowing for small colour differences of the canvas read-back.
  int differing = 0;
  for (int y = 0; y < page.height() && shown.size() == page.size(); ++y)
    for (int x = 0; x < page.width(); ++x) {
      QRgb a = shown.pixel(x, y), b = page.pixel(x, y);
      if (std::abs(qRed(a) - qRed(b)) > 24 || std::abs(qGreen(a) - qGreen(b)) > 24 ||
          std::abs(qBlue(a) - qBlue(b)) > 24)
        ++differing;
    }
  EXPECT_LE(differing, page.width() * page.height() / 50)
      << "the button shows another picture than the page";
  // The demo served exactly one captcha picture for this page: no second request.
}

TEST_F(Shell, LoginOnPagesWithoutTheFormOrStillLoading) {
  start();
  // A page without any login element: nothing filled, the panel read from that page.
  browser()->navigate(qs(base(1) + "/maker/help.htm"));
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/maker/help.htm")));
  child<QPushButton>("captcha_button")->click();
  EXPECT_TRUE(child<QPushButton>("captcha_button")->icon().isNull());
  EXPECT_TRUE(child<QPushButton>("login_button")->isEnabled());
  box("account")->setText(u("demo"));
  child<QPushButton>("login_button")->click();
  EXPECT_EQ(child<QLabel>("account_panel")->text(), u(" 编号  级别  余额：元"));
  EXPECT_EQ(demo_state().value("logins").toObject().value("failed").toInt(), 0);

  // A page that never finishes loading: the login stops before the wait, the panel
  // keeps its text; nothing hangs.
  child<QLabel>("account_panel")->setText(u("kept"));
  browser()->navigate(u("http://hang.example.com/"));
  ASSERT_TRUE(e2e::wait_for([&] { return browser()->ready_state() == 1; }));
  QTest::qWait(500);
  QElapsedTimer t;
  t.start();
  child<QPushButton>("login_button")->click();
  child<QPushButton>("captcha_button")->click();
  EXPECT_LT(t.elapsed(), 15000);
  EXPECT_EQ(child<QLabel>("account_panel")->text(), u("kept"));
  box("address")->setText(u("http://hang.example.com/x"));
  window_->go();  // does not wait for the page
  EXPECT_EQ(box("address")->text(), u("http://hang.example.com"));
  browser()->navigate(u(""));
}

// ---------------------------------------------------------------------------------
// Address bar

TEST_F(Shell, GoCutsToTheRootNavigatesAndRecordsTheHistory) {
  start();
  const std::string web = e2e::data_file(exe_dir_, settings::kWebHistory);
  // A history with blank lines, and a longer address that contains the demo root.
  settings::write_whole_file(web, "http://b.cn\r\n\r\n  \r\nhttp://a.com");
  box("address")->setText(qs(base(1) + "/Login.aspx?ReturnUrl=%2fIndex.aspx"));
  window_->go();
  EXPECT_EQ(box("address")->text(), qs(base(1)));
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/")));
  EXPECT_EQ(web_txt(), "http://b.cn\r\nhttp://a.com\r\n" + base(1));
  auto* history = child<QComboBox>("history_list");
  ASSERT_EQ(history->count(), 3);
  EXPECT_EQ(history->itemText(2), qs(base(1)));
  // Upper-case marker: cut where it stands.
  box("address")->setText(u("HTTP://DEMO.EXAMPLE.COM/LOGIN.ASPX"));
  window_->go();
  EXPECT_EQ(box("address")->text(), u("HTTP://DEMO.EXAMPLE.COM"));
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/")));
  EXPECT_EQ(history->count(), 4);
  // A root that occurs inside a longer stored line is not added again.
  settings::write_whole_file(web, base(1) + "/Index.aspx\r\nhttp://b.cn");
  box("address")->setText(qs(base(1)));
  window_->go();
  EXPECT_EQ(web_txt(), base(1) + "/Index.aspx\r\nhttp://b.cn");
  // Selecting a history item: into the address box, go; the file keeps its order.
  history->setCurrentIndex(1);
  emit history->activated(1);
  EXPECT_EQ(box("address")->text(), u("http://b.cn"));
  EXPECT_EQ(web_txt(), base(1) + "/Index.aspx\r\nhttp://b.cn");
  // Neither ".cn" nor ".com": empty address, blank page.
  box("address")->setText(u("http://127.0.0.1:8080/Index.aspx"));
  window_->go();
  EXPECT_EQ(box("address")->text(), QString());
  EXPECT_TRUE(e2e::wait_for([&] { return browser()->url().toString() == u("about:blank"); }));
}

TEST_F(Shell, LongHistoryLoadsInFileOrder) {
  start();
  const std::string web = e2e::data_file(exe_dir_, settings::kWebHistory);
  std::string big;
  for (int i = 0; i < 100000; ++i) big += "http://site" + std::to_string(i) + ".com\r\n";
  big += "\r\n";
  settings::write_whole_file(web, big);
  box("address")->setText(u("http://new.cn"));
  QElapsedTimer t;
  t.start();
  window_->load_history();
  qint64 ms = t.elapsed();
  auto* history = child<QComboBox>("history_list");
  ASSERT_EQ(history->count(), 100001);
  EXPECT_EQ(history->itemText(0), u("http://site0.com"));
  EXPECT_EQ(history->itemText(100000), u("http://new.cn"));
  std::printf("[ measure ] load of a 100,000-line history: %lld ms\n", static_cast<long long>(ms));
}

TEST_F(Shell, ClearHistoryAsksAndNoKeepsTheFile) {
  start();
  box("address")->setText(u("http://a.com"));
  window_->go();
  std::string before = web_txt();
  ASSERT_EQ(before, "http://a.com");
  QString seen;
  e2e::answer_box(u("提示："), u("否"), &seen);
  button_with(u("清空"))->click();
  EXPECT_EQ(seen, u("是否真正清空地址栏？"));
  EXPECT_EQ(web_txt(), before);
  e2e::answer_box(u("提示："), u("是"), &seen);
  button_with(u("清空"))->click();
  EXPECT_FALSE(QFile::exists(qs(e2e::data_file(exe_dir_, settings::kWebHistory))));
  EXPECT_EQ(child<QComboBox>("history_list")->count(), 1);  // the list keeps its items
  EXPECT_EQ(box("address")->text(), u("http://a.com"));
}

// Back, forward, refresh and the two home buttons, with the maker's site switched on:
// the maker's home page, and the friend link from its notice page.
TEST_F(Shell, NavigationButtons) {
  // The notice is fetched outside the browser, so the maker's site is the demo's own address;
  // the letter flag is already set in a test scope, so no question stops the start-up.
  const std::string maker = "http://127.0.0.1:" + std::to_string(g_demos[0]->port());
  app::set_letter_flag_scope(QStringLiteral("TessaroTests"), QStringLiteral("NavigationButtons"));
  QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("TessaroTests"),
            QStringLiteral("NavigationButtons")).setValue(QStringLiteral("Tarnik/dycsy11"), QString());
  start("app", maker.c_str());
  ASSERT_TRUE(started_);
  // The browser opened the maker's home page at creation.
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(maker + "/maker/index.htm")));
  // The friend link shows the notice page's title and speaks it.
  auto* link = child<QLabel>("friend_link");
  EXPECT_TRUE(link->isVisible());
  EXPECT_EQ(link->text(), u("卡盟演示后台"));
  EXPECT_EQ(spoken_name(link), u("卡盟演示后台"));
  EXPECT_TRUE(window_->findChild<QAction*>("help_action")->isEnabled());
  box("address")->setText(qs(base(1)));
  window_->go();
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/")));
  button_with(u("返回主页"))->click();  // not logged in: the demo sends the login page
  ASSERT_TRUE(e2e::wait_for([&] { return visits().isEmpty() == false || browser()->url().toString().contains("Login"); }));
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/Login.aspx")));
  child<QPushButton>("back_button")->click();
  // The login page itself starts with the same prefix: wait for the address to change.
  EXPECT_TRUE(e2e::wait_for([&] { return !browser()->url().toString().contains("Login.aspx"); }));
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/")));
  child<QPushButton>("forward_button")->click();
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/Login.aspx")));
  child<QPushButton>("refresh_button")->click();
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/Login.aspx")));
  button_with(u("主页"))->click();
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(maker + "/maker/index.htm")));
}

TEST_F(Shell, SectionAndMenuListsClickThePlatformsLinks) {
  start();
  open_login(1);
  box("account")->setText(u("demo"));
  box("password")->setText(u("demo123"));
  box("captcha")->setText(u("1234"));
  window_->login();
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/Index.aspx")));
  g_demos[0]->post("/demo/reset", "");

  auto* sections = child<QComboBox>("section_list");
  auto* menu = child<QComboBox>("menu_list");
  sections->setCurrentIndex(2);
  emit sections->activated(2);
  ASSERT_EQ(menu->count(), 5);
  QStringList entries;
  for (int i = 0; i < 5; ++i) entries << menu->itemText(i);
  EXPECT_EQ(entries, (QStringList{u("发布供货商品"), u("供货商品管理"), u("直充库存管理"), u("卡密库存管理"), u("收入转余额")}));
  EXPECT_EQ(menu->currentIndex(), 0);
  ASSERT_TRUE(e2e::wait_for([&] { return visits().contains(u("/Index.aspx?tab=2")); })) << visits().join(",").toStdString();
  ASSERT_TRUE(e2e::wait_loaded(browser(), qs(base(1) + "/Index.aspx?tab=2")));
  QTest::qWait(300);
  EXPECT_FALSE(visits().contains(u("/SelfProduct/SelfProductAdd.aspx")));  // selected, not clicked

  // A menu entry with a shorter text clicks the platform's longer link.
  menu->setCurrentIndex(2);
  emit menu->activated(2);
  ASSERT_TRUE(e2e::wait_for([&] { return demo_state().value("last_page").toObject().value("title").toString() == u("直充商品库存管理"); }))
      << visits().join(",").toStdString();
}

// ---------------------------------------------------------------------------------
// Agent-data export program

TEST_F(Shell, AgentDataExportWritesAndStartsTheProgram) {
  start();
  QString seen;
  e2e::answer_box(u("信息："), u("确定"), &seen);
  button_with(u("代理资料导出"))->click();
  EXPECT_EQ(seen, u("已经呼出软件，若无反应，请关闭杀毒软件。"));
  QString path = qs(settings::portable_data_dir(exe_dir_)) + u("/卡盟代理资料导出工具");
  QFile f(path);
  ASSERT_TRUE(f.exists());
  EXPECT_TRUE(f.permissions() & QFile::ExeOwner);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_TRUE(f.read(4) == QByteArray("\x7f" "ELF", 4));
  // Its window appears (it was started without waiting); close it.
  EXPECT_TRUE(e2e::wait_for([] { return e2e::x_window_exists(u("卡盟代理资料导出工具")); }, 15000));
  e2e::x_close_window(u("卡盟代理资料导出工具"));
}

}  // namespace

namespace {
tools::publishing::PublishingWindow* open_publishing_window(QPushButton* button) {
  button->click();
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* p = qobject_cast<tools::publishing::PublishingWindow*>(w); p && p->isVisible()) return p;
  return nullptr;
}
}  // namespace

// Closing the main window ends the process at once; an open tool window first keeps
// what it keeps on its own close.
TEST_F(Shell, ClosingTheMainWindowKeepsWhatAnOpenToolWindowHolds) {
  start("close-keeps");
  auto* pub = open_publishing_window(button_with(u("自动上架商品")));
  ASSERT_NE(pub, nullptr);
  pub->controls().names->setPlainText(u("腾讯QQ币10元\n网易一卡通15元"));
  pub->controls().charging->setText(u("按次计费"));
  window_->close();
  EXPECT_EQ(harness::exit_codes(), std::vector<int>{0});
  EXPECT_EQ(text::gbk_to_utf8(settings::read_whole_file(e2e::data_file(exe_dir_, settings::kProductNames))),
            "腾讯QQ币10元\r\n网易一卡通15元");
  delete pub;
  window_.reset();

  start_in(exe_dir_);
  auto* again = open_publishing_window(button_with(u("自动上架商品")));
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->controls().names->toPlainText(), u("腾讯QQ币10元\n网易一卡通15元"));
  EXPECT_EQ(again->controls().charging->text(), u("按次计费"));
  delete again;
}

namespace {
// Opens file addresses instead of the file manager.
class FileOpener : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> opened;
 public slots:
  void open(const QUrl& url) { opened << url; }
};

// Menu "记录" opens the journal viewer, shows the data directory and opens it in the file
// manager; closing the main window ends the runs still open as ended with the application.
TEST_F(Shell, RecordsMenuOpensTheJournalAndClosingEndsOpenRuns) {
  app::MainWindow& w = start();
  const QString data = qs(settings::portable_data_dir(exe_dir_));
  EXPECT_EQ(qs(w.data_dir()), data);
  QAction* item = nullptr;
  QAction* where = nullptr;
  QAction* open_dir = nullptr;
  for (QAction* menu : w.menuBar()->actions()) {
    if (menu->text() != u("记录") || !menu->menu()) continue;
    for (QAction* a : menu->menu()->actions()) {
      if (a->text() == u("运行记录")) item = a;
      if (a->text().startsWith(u("数据目录："))) where = a;
      if (a->text() == u("打开数据目录")) open_dir = a;
    }
  }
  ASSERT_NE(where, nullptr);
  EXPECT_EQ(where->text(), u("数据目录：") + data);
  ASSERT_NE(open_dir, nullptr);
  FileOpener opener;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "open");
  open_dir->trigger();
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  EXPECT_EQ(opener.opened, QList<QUrl>{QUrl::fromLocalFile(data)});
  ASSERT_NE(item, nullptr);
  item->trigger();
  tools::journal::JournalWindow* viewer = nullptr;
  for (QWidget* t : QApplication::topLevelWidgets())
    if (auto* j = qobject_cast<tools::journal::JournalWindow*>(t); j && j->isVisible()) viewer = j;
  ASSERT_NE(viewer, nullptr);
  EXPECT_EQ(viewer->windowTitle(), u("运行记录"));
  viewer->close();

  tools::journal::Run run(w.data_dir(), u("自动上架商品"), browser(), {}, {u("甲"), u("乙")});
  ASSERT_TRUE(run.recording()) << run.problem().toStdString();
  run.begin_item(u("甲"));
  w.close();
  EXPECT_EQ(harness::exit_codes(), std::vector<int>{0});
  std::string why;
  auto store = tools::journal::Store::open_for_reading(tools::journal::journal_file(w.data_dir()), &why);
  ASSERT_TRUE(store) << why;
  EXPECT_EQ(store->run(run.id())->ending, "application_ended");
  const auto items = store->items(run.id(), {}, 0, 10);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_GE(items[0].ended_ms, items[0].began_ms);
}

// "设置" → "快速模式（按平台应答节奏）": read from configure.ini at start-up, saved at once in a
// section of its own, and what the next run takes.
TEST_F(Shell, FastModeIsAMenuSwitchSavedInItsOwnSection) {
  exe_dir_ = e2e::fresh_exe_dir("fast");
  e2e::write_config(exe_dir_, app::kKeyFastModeUtf8, "1");
  app::MainWindow& w = start_in(exe_dir_);
  auto* fast = w.findChild<QAction*>(QStringLiteral("fast_mode_action"));
  ASSERT_NE(fast, nullptr);
  EXPECT_EQ(fast->text(), u("快速模式（按平台应答节奏）"));
  EXPECT_TRUE(fast->isCheckable());
  EXPECT_TRUE(fast->isChecked());
  EXPECT_TRUE(tools::RunMode::fast());
  fast->trigger();
  EXPECT_FALSE(tools::RunMode::fast());
  const std::string ini = e2e::data_file(exe_dir_, settings::kConfigure);
  EXPECT_EQ(settings::read_key(ini, text::utf8_to_gbk(app::kKeyFastModeUtf8)), "0");
  fast->trigger();
  EXPECT_EQ(settings::read_key(ini, text::utf8_to_gbk(app::kKeyFastModeUtf8)), "1");
  // The periodic save keeps it.
  harness::wait_until([] { return false; }, 200);
  EXPECT_EQ(settings::read_key(ini, text::utf8_to_gbk(app::kKeyFastModeUtf8)), "1");
  fast->trigger();
}
}  // namespace

namespace {
// Writes the README's screenshots when TESSARO_SCREENSHOT_DIR is set.
TEST_F(Shell, Screenshots) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  start();
  ASSERT_TRUE(e2e::wait_loaded(browser(), kStartPage));
  QTest::qWait(1000);
  EXPECT_TRUE(window_->browser_window()->grab().save(QString::fromUtf8(out) + "/start-page.png"));
  open_login(1);
  child<QPushButton>("captcha_button")->click();
  box("account")->setText(u("demo"));
  box("password")->setText(u("demo123"));
  box("captcha")->setText(u("1234"));
  QTest::qWait(1500);
  EXPECT_TRUE(window_->grab().save(QString::fromUtf8(out) + "/main-window.png"));
  EXPECT_TRUE(window_->browser_window()->grab().save(QString::fromUtf8(out) + "/browser-window.png"));
}
}  // namespace

#include "app_e2e_test.moc"
