// The site-submission window against a local server standing in for the engines.
#include <gtest/gtest.h>

#include <cstdlib>
#include <httplib.h>

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <map>
#include <mutex>
#include <thread>

#include "page/page_objects.h"
#include "platform/browser_view.h"
#include "settings/settings.h"
#include "text/text.h"
#include "offline_context.h"
#include "tools/common/tool_context.h"
#include "tools/submission/open_submission.h"
#include "tools/submission/submission_window.h"

namespace {

using Context = testsupport::OfflineContext;

class Engines {
 public:
  Engines() {
    server_.Get(R"(/.*)", [this](const httplib::Request& req, httplib::Response& res) {
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++hits_[req.path];
      }
      res.set_content("<html><body><h1>" + req.path + "</h1></body></html>", "text/html");
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~Engines() {
    server_.stop();
    thread_.join();
  }
  int hits(const std::string& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    return hits_[path];
  }
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }

 private:
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
  std::mutex mutex_;
  std::map<std::string, int> hits_;
};

tools::submission::SubmissionWindow* open_window(Context& ctx) {
  tools::submission::open_submission(ctx);
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* s = qobject_cast<tools::submission::SubmissionWindow*>(w);
    if (s && s->isVisible()) return s;
  }
  return nullptr;
}

bool wait_for(const std::function<bool()>& done, int ms = 15000) {
  for (int waited = 0; waited < ms; waited += 20) {
    if (done()) return true;
    QTest::qWait(20);
  }
  return done();
}

TEST(SubmissionWindow, DefaultsWhenNoKeys) {
  QTemporaryDir dir;
  Context ctx(dir.path().toStdString());
  auto* w = open_window(ctx);
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(w->windowTitle(), QStringLiteral("Quillory-TessaroV4.3正式版卡盟收录提交"));
  EXPECT_EQ(w->endpoint(0), QString::fromUtf8(tools::submission::kBaiduDefault));
  EXPECT_TRUE(w->endpoint(0).endsWith("/sitesubmit/index"));
  EXPECT_TRUE(w->endpoint(1).endsWith("/site_submit.html"));
  EXPECT_TRUE(w->endpoint(2).endsWith("/feedback/urlfeedback.php"));
  w->close();
}

TEST(SubmissionWindow, ButtonsNavigateAndTheBrowserFollowsTheSize) {
  Engines engines;
  QTemporaryDir dir;
  Context ctx(dir.path().toStdString());
  ctx.ensure_data_dir();
  const std::string ini = ctx.data_file(settings::kConfigure);
  settings::write_key(ini, text::utf8_to_gbk(tools::submission::kBaiduKey),
                      engines.url("/sitesubmit/index"));
  settings::write_key(ini, text::utf8_to_gbk(tools::submission::k360Key),
                      engines.url("/site_submit.html"));
  settings::write_key(ini, text::utf8_to_gbk(tools::submission::kSogouKey),
                      engines.url("/feedback/urlfeedback.php"));

  auto* w = open_window(ctx);
  ASSERT_NE(w, nullptr);
  platform::BrowserView* browser = w->browser();
  QTest::qWait(300);
  const QString blank = browser->url().toString();
  EXPECT_TRUE(blank.isEmpty() || blank == "about:blank") << blank.toStdString();
  EXPECT_EQ(engines.hits("/sitesubmit/index"), 0);

  auto* baidu = w->findChild<QPushButton*>("baiduButton");
  EXPECT_EQ(baidu->text(), QStringLiteral("百度收录"));
  EXPECT_EQ(w->findChild<QPushButton*>("so360Button")->text(), QStringLiteral("360收录"));
  EXPECT_EQ(w->findChild<QPushButton*>("sogouButton")->text(), QStringLiteral("搜狗收录"));

  baidu->click();
  EXPECT_TRUE(wait_for([&] { return engines.hits("/sitesubmit/index") == 1; }));
  EXPECT_TRUE(wait_for([&] { return browser->url().path() == "/sitesubmit/index"; }));
  QTest::qWait(300);
  baidu->click();  // again: loaded again
  EXPECT_TRUE(wait_for([&] { return engines.hits("/sitesubmit/index") == 2; }));
  w->findChild<QPushButton*>("so360Button")->click();
  EXPECT_TRUE(wait_for([&] { return browser->url().path() == "/site_submit.html"; }));
  EXPECT_EQ(engines.hits("/site_submit.html"), 1);
  w->findChild<QPushButton*>("sogouButton")->click();
  EXPECT_TRUE(wait_for([&] { return browser->url().path() == "/feedback/urlfeedback.php"; }));

  for (QSize size : {QSize(900, 650), QSize(420, 260)}) {
    w->resize(size);
    QTest::qWait(100);
    EXPECT_EQ(browser->y(), baidu->height());
    EXPECT_EQ(browser->width(), w->width() - 5);
    EXPECT_EQ(browser->height(), w->height() - baidu->height() - 5);
  }
  w->resize(900, 600);
  QTest::qWait(800);
  w->grab().save("/tmp/submission_window.png");
  w->close();
}

}  // namespace

// Writes the guide's screenshot when TESSARO_SCREENSHOT_DIR is set.
TEST(SubmissionWindow, Screenshots) {
  const char* out = std::getenv("TESSARO_SCREENSHOT_DIR");
  if (!out) GTEST_SKIP() << "TESSARO_SCREENSHOT_DIR not set";
  QTemporaryDir dir;
  Context ctx(dir.path().toStdString());
  auto* w = open_window(ctx);
  ASSERT_NE(w, nullptr);
  w->resize(900, 600);
  QTest::qWait(300);
  EXPECT_TRUE(w->grab().save(QString::fromUtf8(out) + "/submission.png"));
  w->close();
}
