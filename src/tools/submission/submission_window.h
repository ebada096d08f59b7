#pragma once
// Site submission: three buttons along the top, each opening a search engine's
// site-submission page in the window's own browser below them.

#include <QString>
#include <QWidget>

class QPushButton;

namespace platform {
class BrowserView;
}
namespace tools {
class ToolContext;
}

namespace tools::submission {

// Keys of configure.ini holding the three endpoint addresses (GBK key names in the
// file); a missing or empty key gives the default.
inline constexpr const char* kBaiduKey = "百度收录地址";
inline constexpr const char* k360Key = "360收录地址";
inline constexpr const char* kSogouKey = "搜狗收录地址";
inline constexpr const char* kBaiduDefault = "https://ziyuan.baidu.com/sitesubmit/index";
inline constexpr const char* k360Default = "http://info.so.360.cn/site_submit.html";
inline constexpr const char* kSogouDefault = "https://www.sogou.com/feedback/urlfeedback.php";

class SubmissionWindow : public QWidget {
  Q_OBJECT
 public:
  explicit SubmissionWindow(ToolContext& ctx, QWidget* parent = nullptr);

  platform::BrowserView* browser() const { return browser_; }
  // Endpoint addresses as read when the window opened: Baidu, 360, Sogou.
  const QString& endpoint(int i) const { return endpoints_[i]; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void lay_out();

  QPushButton* buttons_[3] = {};
  QString endpoints_[3];
  platform::BrowserView* browser_ = nullptr;
};

}  // namespace tools::submission
