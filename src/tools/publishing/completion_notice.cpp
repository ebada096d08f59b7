#include "tools/publishing/completion_notice.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace tools::publishing {

const QString& CompletionNotice::text() {
  static const QString t = QStringLiteral("商品信息发布完毕！\r\n\r\n点击窗口任意位置关闭！");
  return t;
}

CompletionNotice::CompletionNotice(QWidget* parent) : QWidget(parent, Qt::Dialog) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("信息："));
  auto* layout = new QVBoxLayout(this);
  // QLabel breaks lines at LF; the CR of each CR LF is dropped for display only.
  QString shown = text();
  shown.remove(QLatin1Char('\r'));
  label_ = new QLabel(shown, this);
  label_->setAccessibleName(text());
  label_->setAlignment(Qt::AlignCenter);
  QFont f = label_->font();
  f.setPointSizeF(f.pointSizeF() * 1.3);
  label_->setFont(f);
  label_->installEventFilter(this);
  layout->addWidget(label_);
  setMinimumSize(300, 140);
}

void CompletionNotice::mousePressEvent(QMouseEvent* event) {
  event->accept();
  close();
}

bool CompletionNotice::eventFilter(QObject* watched, QEvent* event) {
  if (watched == label_ && event->type() == QEvent::MouseButtonPress) {
    close();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

}  // namespace tools::publishing
