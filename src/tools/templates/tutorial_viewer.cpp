#include "tools/templates/tutorial_viewer.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace tools::templates {

namespace {

const char* kPictureDir = ":/tessaro/tutorial/templates";

// The text under each picture, by the picture's file name.
QString caption_of(const QString& file) {
  if (file.startsWith(QLatin1String("1")))
    return QStringLiteral("第一步：登录平台后打开本窗口，网页会自动跳到“供货商品管理”。点击“1.分析”，"
                          "软件会逐页分析全部商品，期间请勿操作网页。");
  if (file.startsWith(QLatin1String("2")))
    return QStringLiteral("第二步：分析完毕后网页显示第一个商品的类型/模板页面。在“类型”中选择商品类型；"
                          "充值类商品再选择“厂商系统”，然后选择“充值模版”。");
  if (file.startsWith(QLatin1String("3")))
    return QStringLiteral("第三步：点击“2.开始”，软件逐个打开商品的类型/模板页面并保存您的选择，"
                          "状态栏显示进度，完成后显示“状态:商品模版设置完毕”。");
  return QString();
}

}  // namespace

QStringList TutorialViewer::pictures() {
  QStringList out;
  const QDir dir(QString::fromLatin1(kPictureDir));
  for (const QString& name : dir.entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name))
    out << dir.filePath(name);
  return out;
}

TutorialViewer::TutorialViewer(const QString& main_title) : QWidget(nullptr), pictures_(pictures()) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(main_title + QStringLiteral("-使用教程"));
  auto* column = new QVBoxLayout(this);
  picture_ = new QLabel(this);
  picture_->setAlignment(Qt::AlignCenter);
  picture_->setMinimumSize(640, 420);
  column->addWidget(picture_, 1);
  caption_ = new QLabel(this);
  caption_->setWordWrap(true);
  column->addWidget(caption_);
  auto* row = new QHBoxLayout;
  previous_ = new QPushButton(QStringLiteral("上一张"), this);
  next_ = new QPushButton(QStringLiteral("下一张"), this);
  previous_->setAccessibleName(previous_->text());
  next_->setAccessibleName(next_->text());
  position_ = new QLabel(this);
  row->addWidget(previous_);
  row->addStretch();
  row->addWidget(position_);
  row->addStretch();
  row->addWidget(next_);
  column->addLayout(row);
  connect(previous_, &QPushButton::clicked, this, [this] { show_picture(current_ - 1); });
  connect(next_, &QPushButton::clicked, this, [this] { show_picture(current_ + 1); });
  show_picture(0);
}

void TutorialViewer::show_picture(int index) {
  if (pictures_.isEmpty()) {
    picture_->setText(QStringLiteral("没有教程图片。"));
    caption_->clear();
    position_->clear();
    previous_->setEnabled(false);
    next_->setEnabled(false);
    return;
  }
  current_ = std::clamp(index, 0, count() - 1);
  const QString path = pictures_.at(current_);
  picture_->setPixmap(QPixmap(path));
  caption_->setText(caption_of(QFileInfo(path).fileName()));
  position_->setText(QStringLiteral("%1/%2").arg(current_ + 1).arg(count()));
  previous_->setEnabled(current_ > 0);
  next_->setEnabled(current_ + 1 < count());
}

}  // namespace tools::templates
