#pragma once
// The browser window: a top-level window holding the browser control on which the
// login, the navigation and the tools work. The user cannot close it.

#include <QWidget>

#include <functional>

namespace platform { class BrowserView; }

namespace app {

class BrowserWindow : public QWidget {
  Q_OBJECT
 public:
  // main_title gives the main window's current title (for the refusal message).
  BrowserWindow(std::function<QString()> main_title, const std::string& data_dir,
                QWidget* parent = nullptr);
  ~BrowserWindow() override;

  // The browser control; it fills the window's client area.
  platform::BrowserView* view() const { return view_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  std::function<QString()> main_title_;
  platform::BrowserView* view_ = nullptr;
};

}  // namespace app
