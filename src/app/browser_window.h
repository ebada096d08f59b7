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
  BrowserWindow(std::function<QString()> main_title, const std::string& exe_dir,
                QWidget* parent = nullptr);
  ~BrowserWindow() override;

  platform::BrowserView* view() const { return view_; }

  // Left position of the browser control inside the window.
  static constexpr int kControlLeft = 0;
  static constexpr int kControlTop = 0;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void apply_size_rule();

  std::function<QString()> main_title_;
  platform::BrowserView* view_ = nullptr;
};

}  // namespace app
