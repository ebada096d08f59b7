// The maker's notice page and the letter prompt against a local server, with the
// settings of the letter flag in a temporary folder.
#include <gtest/gtest.h>
#include <httplib.h>

#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "app/maker_notice.h"
#include "box_answer.h"
#include "text/text.h"

namespace {

std::string config_home;

// A plain server for the notice page; the body is given per test.
class NoticeServer {
 public:
  NoticeServer() {
    server_.Get("/xzrj.htm", [this](const httplib::Request&, httplib::Response& res) {
      ++hits;
      res.set_content(body, "text/html");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ~NoticeServer() {
    server_.stop();
    thread_.join();
  }
  std::string site() const { return "http://127.0.0.1:" + std::to_string(port_); }

  std::string body;
  std::atomic<int> hits{0};

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

std::string gbk(const char* utf8) { return text::utf8_to_gbk(utf8); }

class OpenedUrls : public QObject {
  Q_OBJECT
 public:
  QList<QUrl> urls;
 public slots:
  void open(const QUrl& url) { urls.push_back(url); }
};

}  // namespace

// Before the QApplication: every QSettings user file goes to a temporary folder.
void tessaro_test_before_app(std::vector<std::string>&) {
  char tmpl[] = "/tmp/tessaro-notice-config-XXXXXX";
  if (mkdtemp(tmpl)) config_home = tmpl;
  setenv("XDG_CONFIG_HOME", config_home.c_str(), 1);
}

void tessaro_test_after_all() {
  if (!config_home.empty()) QDir(QString::fromStdString(config_home)).removeRecursively();
}

TEST(MakerNotice, FriendLinkFromAGbkPageTakesTwoFetches) {
  NoticeServer server;
  server.body = gbk("<p>通知</p>[友情标题1]卡商之家[/友情标题1]\r\n[友情1]http://friend.example.com/a?b=1[/友情1]");
  EXPECT_EQ(app::notice_address(server.site()), server.site() + "/xzrj.htm");
  EXPECT_TRUE(app::notice_reachable(server.site()));
  EXPECT_EQ(server.hits, 1);
  app::FriendLink link = app::read_friend_link(server.site());
  EXPECT_EQ(server.hits, 3);
  EXPECT_EQ(link.title, gbk("卡商之家"));
  EXPECT_EQ(link.address, "http://friend.example.com/a?b=1");
}

TEST(MakerNotice, PageWithoutMarkersLeavesTheValuesEmpty) {
  NoticeServer server;
  server.body = gbk("<html>维护中 [友情标题1]没有结束标记</html>");
  EXPECT_TRUE(app::notice_reachable(server.site()));
  app::FriendLink link = app::read_friend_link(server.site());
  EXPECT_EQ(link.title, "");
  EXPECT_EQ(link.address, "");

  // The markers are GBK: a UTF-8 page does not match them.
  server.body = "[友情标题1]卡商之家[/友情标题1]";
  EXPECT_EQ(app::read_friend_link(server.site()).title, "");
}

TEST(MakerNotice, UnreachableOrEmptyNoticePage) {
  std::string site;
  {
    NoticeServer gone;
    site = gone.site();
  }
  EXPECT_FALSE(app::notice_reachable(site));
  NoticeServer empty;
  empty.body = "";
  EXPECT_FALSE(app::notice_reachable(empty.site()));
  EXPECT_EQ(empty.hits, 1);
}

namespace {

struct HelperRun {
  int exit_code = -1;
  bool normal = false;
  QStringList lines;
};

HelperRun run_exit_helper(const QString& answer, int expected_starts) {
  QTemporaryDir dir;
  const QString log = dir.filePath("log.txt");
  QProcess p;
  // Output to a file: the new instance inherits it and must not write into a closed pipe.
  p.setStandardOutputFile(dir.filePath("out.txt"));
  p.setStandardErrorFile(dir.filePath("out.txt"), QIODevice::Append);
  p.start(QStringLiteral(NOTICE_EXIT_HELPER), {log, answer});
  HelperRun run;
  if (!p.waitForFinished(60000)) {
    p.kill();
    p.waitForFinished();
    return run;
  }
  run.exit_code = p.exitCode();
  run.normal = p.exitStatus() == QProcess::NormalExit;
  // A new instance of a "是" appends its own line shortly after.
  QElapsedTimer waited;
  waited.start();
  do {
    QFile f(log);
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
      run.lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    if (run.lines.count(QStringLiteral("started")) >= expected_starts) break;
    QThread::msleep(50);
  } while (waited.elapsed() < 15000);
  if (expected_starts == 1) {
    QThread::msleep(1000);  // no new instance may follow
    QFile f(log);
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
      run.lines = QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
  }
  return run;
}

}  // namespace

TEST(MakerNotice, ConnectionErrorQuestionEndsTheProcessEitherWay) {
  const QString text = QStringLiteral("text=连接服务器出错，是否重试？如持续出现错误，请联系作者QQ：");

  HelperRun no = run_exit_helper(QStringLiteral("否"), 1);
  EXPECT_TRUE(no.normal);
  EXPECT_EQ(no.exit_code, 0);
  EXPECT_EQ(no.lines.count(QStringLiteral("started")), 1) << no.lines.join('|').toStdString();
  EXPECT_TRUE(no.lines.contains(QStringLiteral("title=信息：")));
  ASSERT_EQ(no.lines.filter(text).size(), 1);
  EXPECT_GT(no.lines.filter(text).front().size(), text.size());  // a contact number follows

  HelperRun yes = run_exit_helper(QStringLiteral("是"), 2);
  EXPECT_TRUE(yes.normal);
  EXPECT_EQ(yes.exit_code, 0);
  EXPECT_EQ(yes.lines.count(QStringLiteral("started")), 2) << yes.lines.join('|').toStdString();
}

TEST(LetterPrompt, NoAsksAgainYesWritesTheFlagForGood) {
  app::set_letter_flag_scope(QStringLiteral("TessaroTest"), QStringLiteral("LetterPrompt"));
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "TessaroTest", "LetterPrompt").clear();
  ASSERT_FALSE(app::letter_flag_present());
  OpenedUrls opened;
  QDesktopServices::setUrlHandler("https", &opened, "open");
  const QString letter = QStringLiteral("https://maker.example.com/maker/letter.htm");
  const QString question = QStringLiteral(
      "这是一封来自作者的文章----致所有在网络上奋斗的年轻人的一封信，您是否愿意查看下？如果有所感想，"
      "请不要忘记评论哦！");

  for (int i = 0; i < 2; ++i) {
    SeenBox seen;
    auto timer = answer_next_box(QStringLiteral("否"), &seen);
    app::letter_prompt(nullptr, letter);
    EXPECT_TRUE(seen.seen);
    EXPECT_EQ(seen.title, QStringLiteral("提示："));
    EXPECT_EQ(seen.text, question);
    EXPECT_FALSE(app::letter_flag_present());
  }
  EXPECT_TRUE(opened.urls.isEmpty());

  {
    SeenBox seen;
    auto timer = answer_next_box(QStringLiteral("是"), &seen);
    app::letter_prompt(nullptr, letter);
    EXPECT_TRUE(seen.seen);
  }
  EXPECT_TRUE(app::letter_flag_present());
  ASSERT_EQ(opened.urls.size(), 1);
  EXPECT_EQ(opened.urls.front(), QUrl(letter));

  // Written as an empty text in the per-user file under Tarnik.
  QSettings file(QSettings::NativeFormat, QSettings::UserScope, "TessaroTest", "LetterPrompt");
  EXPECT_TRUE(file.fileName().startsWith(QString::fromStdString(config_home)));
  EXPECT_EQ(file.value("Tarnik/dycsy11", QStringLiteral("absent")).toString(), QString());

  // Never asked again: any box would be answered and recorded.
  {
    SeenBox seen;
    auto timer = answer_next_box(QStringLiteral("否"), &seen);
    app::letter_prompt(nullptr, letter);
    QApplication::processEvents();
    EXPECT_FALSE(seen.seen);
  }
  QDesktopServices::unsetUrlHandler("https");
}

TEST(LetterPrompt, DefaultScopeIsTheTarnikKeyOfTheCurrentUser) {
  app::set_letter_flag_scope(QStringLiteral("Microsoft"), QStringLiteral("Windows"));
  EXPECT_FALSE(app::letter_flag_present());
  {
    SeenBox seen;
    auto timer = answer_next_box(QStringLiteral("是"), &seen);
    app::letter_prompt(nullptr, QString());  // empty address: nothing opened
    EXPECT_TRUE(seen.seen);
  }
  EXPECT_TRUE(app::letter_flag_present());
  EXPECT_TRUE(QFile::exists(QString::fromStdString(config_home) + "/Microsoft/Windows.conf"));
}

#include "notice_test.moc"
