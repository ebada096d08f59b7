#pragma once
// The main window: platform login and account panel, address bar and back-office
// navigation, tool buttons. It lives for the whole run; closing it ends the process.

#include <QMainWindow>
#include <QPointer>

#include <memory>
#include <string>

#include "page/page_objects.h"
#include "settings/settings.h"
#include "tools/common/bulk_status_parts.h"
#include "tools/common/tool_context.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace platform { class BrowserView; }

namespace app {

class BrowserWindow;
class LinkLabel;

class MainWindow : public QMainWindow, public tools::ToolContext {
  Q_OBJECT
 public:
  // exe_dir: directory of the executable; data_dir: the data directory in use (empty: the
  // portable one, exe_dir + "/data"); both without a trailing separator.
  explicit MainWindow(std::string exe_dir, std::string data_dir = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The start-up sequence (the window's created event). False when the process is to
  // end (started from a "Temp" folder); end_process(0) has then been called.
  bool start_up();

  // ToolContext
  QString main_title() const override;
  std::string data_dir() const override { return data_dir_; }
  std::string address_text() const override;
  void set_address_text(const std::string& text) override;
  platform::BrowserView* main_browser() override;
  page::PageObjects& pages() override { return *pages_; }

  BrowserWindow* browser_window() const;
  // The hidden working box and second browser of the bulk status run.
  QPlainTextEdit* working_box() const { return working_box_; }
  platform::BrowserView* status_browser() const { return status_browser_; }
  const tools::BulkStatusParts& bulk_status_parts() const { return status_parts_; }
  std::string maker_site() const { return maker_site_; }

  // Handlers (public so that tests drive them exactly as the controls do).
  void login();
  void show_captcha();
  void periodic_save();
  void go();
  void load_history();
  void history_selected(int index);
  void refresh();
  void go_back();
  void go_forward();
  void go_maker_home();
  void go_backoffice_home();
  void clear_history();
  void section_selected(int index);
  void menu_selected(int index);
  void export_agent_data();
  // "记录" → "打开数据目录": the data directory in the file manager.
  void open_data_dir();
  // "设置" → "快速模式（按平台应答节奏）": runs begun from now on are paced by the platform's
  // answers; saved at once.
  void set_fast_mode(bool on);
  // Focus cycle: password -> account -> captcha -> address -> password. True when the
  // key was taken (one of the four boxes had focus).
  bool focus_cycle();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void build_ui();
  QWidget* build_login_group();
  QWidget* build_address_bar();
  QWidget* build_tool_groups();
  void build_menu_bar();
  void open_maker_page(const char* path);
  void run_page_script(const std::string& script_gbk);

  std::string exe_dir_;
  std::string data_dir_;
  std::string maker_site_;
  std::unique_ptr<page::PageObjects> pages_;
  bool values_loaded_ = false;  // the periodic save writes only after start-up step 8
  bool tab_handler_installed_ = false;

  QAction* fast_mode_ = nullptr;
  QLineEdit* account_ = nullptr;
  QLineEdit* password_ = nullptr;
  QCheckBox* show_password_ = nullptr;
  QLineEdit* captcha_ = nullptr;
  QPushButton* captcha_button_ = nullptr;
  QPushButton* login_button_ = nullptr;
  QComboBox* section_list_ = nullptr;
  QComboBox* menu_list_ = nullptr;
  QLabel* account_panel_ = nullptr;
  QLineEdit* address_ = nullptr;
  QComboBox* history_list_ = nullptr;
  LinkLabel* friend_link_ = nullptr;
  QPlainTextEdit* working_box_ = nullptr;
  platform::BrowserView* status_browser_ = nullptr;
  tools::BulkStatusParts status_parts_;
  QPushButton* complaints_button_ = nullptr;  // "投诉批量处理"
  QTimer* save_timer_ = nullptr;
  settings::KeySaver saver_;  // the periodic save's last write
  QPointer<BrowserWindow> browser_window_;
  std::string friend_link_address_;
};

}  // namespace app
