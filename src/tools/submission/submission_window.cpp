#include "tools/submission/submission_window.h"

#include <algorithm>

#include <QPushButton>
#include <QResizeEvent>

#include "platform/browser_view.h"
#include "platform/gbk.h"
#include "settings/settings.h"
#include "text/text.h"
#include "tools/common/tool_context.h"

namespace tools::submission {

namespace {

QString read_endpoint(const std::string& configure, const char* key, const char* fallback) {
  const std::string value = text::trim_spaces(settings::read_key(configure, text::utf8_to_gbk(key)));
  return value.empty() ? QString::fromUtf8(fallback) : platform::from_gbk(value);
}

}  // namespace

SubmissionWindow::SubmissionWindow(ToolContext& ctx, QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(ctx.main_title() + QStringLiteral("卡盟收录提交"));

  const std::string configure = ctx.data_file(settings::kConfigure);
  endpoints_[0] = read_endpoint(configure, kBaiduKey, kBaiduDefault);
  endpoints_[1] = read_endpoint(configure, k360Key, k360Default);
  endpoints_[2] = read_endpoint(configure, kSogouKey, kSogouDefault);

  const QString captions[3] = {QStringLiteral("百度收录"), QStringLiteral("360收录"),
                               QStringLiteral("搜狗收录")};
  const char* names[3] = {"baiduButton", "so360Button", "sogouButton"};
  for (int i = 0; i < 3; ++i) {
    buttons_[i] = new QPushButton(captions[i], this);
    buttons_[i]->setAccessibleName(captions[i]);
    buttons_[i]->setObjectName(QString::fromLatin1(names[i]));
    buttons_[i]->adjustSize();
    connect(buttons_[i], &QPushButton::clicked, this,
            [this, i] { browser_->navigate(endpoints_[i]); });
  }

  browser_ = new platform::BrowserView(this);
  browser_->setObjectName(QStringLiteral("submissionBrowser"));
  browser_->setAccessibleName(QStringLiteral("卡盟收录提交"));
  browser_->navigate(QString());  // blank until a button is pressed

  resize(1000, 700);
  lay_out();
}

void SubmissionWindow::lay_out() {
  // Buttons along the top; the browser below them, 5 pixels inside the right and
  // bottom edges.
  int x = 0;
  for (QPushButton* b : buttons_) {
    const QSize hint = b->sizeHint();
    const int w = std::max(hint.width(), 90);
    b->setGeometry(x, 0, w, hint.height());
    x += w;
  }
  const int bh = buttons_[0]->height();
  browser_->setGeometry(0, bh, std::max(0, width() - 5), std::max(0, height() - bh - 5));
}

void SubmissionWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  lay_out();
}

}  // namespace tools::submission
