// The maker's notice page (connection check, friend link) and the letter prompt.
#include "app/maker_notice.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QProcess>
#include <QSettings>
#include <QStringList>
#include <QUrl>

#include <cstdlib>
#include <memory>

#include "app/process_exit.h"
#include "net/http.h"
#include "platform/dialogs.h"
#include "text/text.h"

namespace app {

namespace {

// The number shown to users who keep meeting the connection error.
const QString kContactNumber = QStringLiteral("800086321");

const QString kLetterQuestion = QStringLiteral(
    "这是一封来自作者的文章----致所有在网络上奋斗的年轻人的一封信，您是否愿意查看下？如果有所感想，"
    "请不要忘记评论哦！");
const QString kConnectionQuestion =
    QStringLiteral("连接服务器出错，是否重试？如持续出现错误，请联系作者QQ：");

// The flag lives under the current user's "Software\Microsoft\Windows\Tarnik": on Windows
// organisation "Microsoft" and application "Windows" map to that key; elsewhere it is a
// per-user settings file of the same names.
const QString kFlagKey = QStringLiteral("Tarnik/dycsy11");

struct FlagScope {
  QString organisation = QStringLiteral("Microsoft");
  QString application = QStringLiteral("Windows");
};

FlagScope& flag_scope() {
  static FlagScope scope;
  return scope;
}

std::unique_ptr<QSettings> flag_settings() {
  const FlagScope& s = flag_scope();
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     s.organisation, s.application);
}

// The text between two markers given in UTF-8; the page and so the markers are GBK.
std::string between(const std::string& page, const char* start_utf8, const char* end_utf8) {
  return text::text_between(page, text::utf8_to_gbk(start_utf8), text::utf8_to_gbk(end_utf8));
}

}  // namespace

std::string notice_address(const std::string& site) { return site + "/xzrj.htm"; }

bool notice_reachable(const std::string& site) {
  return !net::fetch_page_text(notice_address(site)).empty();
}

FriendLink read_friend_link(const std::string& site) {
  FriendLink link;
  const std::string address = notice_address(site);
  link.title = between(net::fetch_page_text(address), "[友情标题1]", "[/友情标题1]");
  link.address = between(net::fetch_page_text(address), "[友情1]", "[/友情1]");
  return link;
}

void connection_error_and_exit(QWidget* parent) {
  const bool retry = platform::ask_yes_no(parent, kConnectionQuestion + kContactNumber);
  if (retry) {
    // The new instance gets this one's arguments, so a site given on the command line
    // is tried again.
    QProcess::startDetached(QCoreApplication::applicationFilePath(),
                            QCoreApplication::arguments().mid(1));
  }
  QCoreApplication::exit(0);
  end_process(0);
  // end_process returns only when a test replaced the exit; the contract still holds.
  std::exit(0);
}

void letter_prompt(QWidget* parent, const QString& letter_url) {
  if (letter_flag_present()) return;
  if (!platform::ask_yes_no(parent, kLetterQuestion, platform::kTitleHint)) return;
  {
    auto settings = flag_settings();
    settings->setValue(kFlagKey, QString(""));
    settings->sync();  // a failed write is ignored
  }
  if (!letter_url.isEmpty()) QDesktopServices::openUrl(QUrl(letter_url));
}

void set_letter_flag_scope(const QString& organisation, const QString& application) {
  flag_scope() = FlagScope{organisation, application};
}

bool letter_flag_present() { return flag_settings()->contains(kFlagKey); }

}  // namespace app
