#include "app/browser_window.h"

#include <QCloseEvent>
#include <QMessageBox>
#include <QVBoxLayout>

#include "app/app_config.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "settings/settings.h"

namespace app {

BrowserWindow::BrowserWindow(std::function<QString()> main_title, const std::string& data_dir,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), main_title_(std::move(main_title)) {
  setWindowTitle(browser_title());
  settings::make_data_dir(data_dir);
  view_ = new platform::BrowserView(this);
  view_->setAccessibleName(QStringLiteral("网页浏览框"));
  // The control fills the client area, so a wide page keeps its scroll bars in view.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(view_);
  resize(1024, 740);
}

BrowserWindow::~BrowserWindow() = default;

void BrowserWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  platform::show_message(this,
                         QStringLiteral("该窗口无法关闭，如需关闭软件，请将主窗口关闭即可"),
                         main_title_ ? main_title_() : main_title(), QMessageBox::Information);
}

}  // namespace app
