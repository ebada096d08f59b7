#include "app/browser_window.h"

#include <QCloseEvent>
#include <QMessageBox>

#include "app/app_config.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "settings/settings.h"

namespace app {

BrowserWindow::BrowserWindow(std::function<QString()> main_title, const std::string& exe_dir,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), main_title_(std::move(main_title)) {
  setWindowTitle(browser_title());
  settings::ensure_data_dir(exe_dir);
  view_ = new platform::BrowserView(this);
  view_->setAccessibleName(QStringLiteral("网页浏览框"));
  view_->move(kControlLeft, kControlTop);
  resize(1024, 740);
  apply_size_rule();
}

BrowserWindow::~BrowserWindow() = default;

void BrowserWindow::closeEvent(QCloseEvent* event) {
  event->ignore();
  platform::show_message(this,
                         QStringLiteral("该窗口无法关闭，如需关闭软件，请将主窗口关闭即可"),
                         main_title_ ? main_title_() : main_title(), QMessageBox::Information);
}

// The control follows the window: width = window width - control left - 18,
// height = window height + 10.
void BrowserWindow::apply_size_rule() {
  if (!view_) return;
  view_->resize(width() - view_->x() - 18, height() + 10);
}

void BrowserWindow::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  apply_size_rule();
}

void BrowserWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  apply_size_rule();
}

}  // namespace app
