#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDesktopServices>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStyle>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "app/account_panel.h"
#include "app/address_history.h"
#include "app/app_config.h"
#include "app/backoffice_menu.h"
#include "app/browser_window.h"
#include "app/export_tool.h"
#include "app/link_label.h"
#include "app/process_exit.h"
#include "page/confirmer.h"
#include "platform/browser_view.h"
#include "platform/dialogs.h"
#include "platform/gbk.h"
#include "platform/waits.h"
#include "settings/settings.h"
#include "text/text.h"
#include "tools/common/journal.h"
#include "tools/common/run_mode.h"
#include "tools/common/tool_window.h"

#ifdef TESSARO_HAVE_MAKER_NOTICE
#include "app/maker_notice.h"
#endif
#ifdef TESSARO_HAVE_TOOL_PUBLISHING
#include "tools/publishing/open_publishing.h"
#endif
#ifdef TESSARO_HAVE_TOOL_NAMES
#include "tools/names/open_names.h"
#endif
#ifdef TESSARO_HAVE_TOOL_SUBMISSION
#include "tools/submission/open_submission.h"
#endif
#ifdef TESSARO_HAVE_TOOL_TEMPLATES
#include "tools/templates/open_templates.h"
#endif
#ifdef TESSARO_HAVE_TOOL_PRICING
#include "tools/pricing/open_pricing.h"
#endif
#ifdef TESSARO_HAVE_TOOL_STATUS
#include "tools/status/bulk_status.h"
#endif
#ifdef TESSARO_HAVE_TOOL_STOCK
#include "tools/stock/open_stock_deletion.h"
#endif
#ifdef TESSARO_HAVE_TOOL_COMPLAINTS
#include "tools/complaints/open_complaints.h"
#endif
#ifdef TESSARO_HAVE_TOOL_ORDERS
#include "tools/orders/open_orders.h"
#endif
#ifdef TESSARO_HAVE_TOOL_SUBACCOUNTS
#include "tools/subaccounts/open_registration.h"
#endif
#ifdef TESSARO_HAVE_TOOL_CARDS
#include "tools/cards/open_cards.h"
#endif
#ifdef TESSARO_HAVE_TOOL_JOURNAL
#include "tools/journal/journal_window.h"
#endif

namespace app {

namespace {

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

QLineEdit* make_box(const QString& caption, const char* object_name) {
  auto* box = new QLineEdit;
  box->setAccessibleName(caption);
  box->setObjectName(QString::fromLatin1(object_name));
  return box;
}

QPushButton* make_button(const QString& caption, const char* object_name = nullptr) {
  auto* b = new QPushButton(caption);
  b->setAccessibleName(caption);
  if (object_name) b->setObjectName(QString::fromLatin1(object_name));
  b->setAutoDefault(false);
  return b;
}

}  // namespace

MainWindow::MainWindow(std::string exe_dir, std::string data_dir, QWidget* parent)
    : QMainWindow(parent),
      exe_dir_(std::move(exe_dir)),
      data_dir_(data_dir.empty() ? settings::portable_data_dir(exe_dir_) : std::move(data_dir)),
      pages_(std::make_unique<page::PageObjects>()) {
  maker_site_ = app::maker_site(data_dir_);
  build_ui();
  // The periodic save runs from the window's creation; it writes nothing before the
  // saved values are back in the boxes (start-up step 8).
  save_timer_ = new QTimer(this);
  save_timer_->setInterval(50);
  connect(save_timer_, &QTimer::timeout, this, &MainWindow::periodic_save);
  save_timer_->start();
}

MainWindow::~MainWindow() {
  if (tab_handler_installed_) qApp->removeEventFilter(this);
  if (browser_window_) {
    page::confirm_web_dialogs(browser_window_->view(), QString(), QString(), true);
    delete browser_window_.data();
  }
}

// ---------------------------------------------------------------------------------
// Layout

void MainWindow::build_ui() {
  setWindowTitle(app::main_title());
  auto* central = new QWidget;
  auto* column = new QVBoxLayout(central);
  column->addWidget(build_login_group());

  // The account panel and the friend link carry no accessible name of their own:
  // assistive tools read the text they show.
  account_panel_ = new QLabel;
  account_panel_->setObjectName(QStringLiteral("account_panel"));
  account_panel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  account_panel_->setMinimumHeight(22);
  column->addWidget(account_panel_);

  column->addWidget(build_address_bar());

  friend_link_ = new LinkLabel;
  friend_link_->setObjectName(QStringLiteral("friend_link"));
  friend_link_->setVisible(!maker_site_.empty());  // no notice page, no friend link
  connect(friend_link_, &LinkLabel::clicked, this, [this] {
    QDesktopServices::openUrl(QUrl(platform::from_gbk(friend_link_address_)));
  });
  column->addWidget(friend_link_);

  column->addWidget(build_tool_groups());

  // Hidden working box and second browser (bulk product status run).
  working_box_ = new QPlainTextEdit;
  working_box_->setObjectName(QStringLiteral("working_box"));
  working_box_->setAccessibleName(q("工作文本"));
  working_box_->hide();
  column->addWidget(working_box_);
  status_browser_ = new platform::BrowserView;
  status_browser_->setObjectName(QStringLiteral("status_browser"));
  status_browser_->hide();
  column->addWidget(status_browser_);
  status_parts_.scratch = working_box_;
  status_parts_.status_browser = status_browser_;
  column->addStretch(1);

  setCentralWidget(central);
  build_menu_bar();
  address_->setText(platform::from_gbk(maker_page(maker_site_, kHomePath)));
  resize(560, 760);
}

QWidget* MainWindow::build_login_group() {
  auto* group = new QGroupBox(q("平台登录"));
  auto* grid = new QGridLayout(group);

  account_ = make_box(q("帐"), "account");
  password_ = make_box(q("密"), "password");
  password_->setEchoMode(QLineEdit::Password);
  password_->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
  captcha_ = make_box(q("验"), "captcha");

  show_password_ = new QCheckBox(q("明"));
  show_password_->setObjectName(QStringLiteral("show_password"));
  show_password_->setAccessibleName(q("明"));
  // The box's state, however it changed (mouse, keyboard, accessibility).
  connect(show_password_, &QCheckBox::toggled, this, [this](bool ticked) {
    password_->setEchoMode(ticked ? QLineEdit::Normal : QLineEdit::Password);
  });

  captcha_button_ = make_button(q("单击显验证码"), "captcha_button");
  captcha_button_->setMinimumSize(110, 30);
  captcha_button_->installEventFilter(this);
  connect(captcha_button_, &QPushButton::clicked, this, &MainWindow::show_captcha);

  login_button_ = make_button(q("登录(Enter)"), "login_button");
  login_button_->setEnabled(false);  // enabled once the captcha is shown
  connect(login_button_, &QPushButton::clicked, this, &MainWindow::login);

  connect(account_, &QLineEdit::returnPressed, this, &MainWindow::login);
  connect(captcha_, &QLineEdit::returnPressed, this, &MainWindow::login);
  // The password box has no key handler: Enter there does nothing.

  section_list_ = new QComboBox;
  section_list_->setObjectName(QStringLiteral("section_list"));
  section_list_->setAccessibleName(q("平台类型"));
  for (const Section& s : sections()) section_list_->addItem(q(s.caption));
  section_list_->setCurrentIndex(-1);
  connect(section_list_, &QComboBox::activated, this, &MainWindow::section_selected);

  menu_list_ = new QComboBox;
  menu_list_->setObjectName(QStringLiteral("menu_list"));
  menu_list_->setAccessibleName(q("菜单"));
  connect(menu_list_, &QComboBox::activated, this, &MainWindow::menu_selected);

  int row = 0;
  grid->addWidget(new QLabel(q("帐")), row, 0);
  grid->addWidget(account_, row, 1);
  grid->addWidget(section_list_, row, 2);
  ++row;
  grid->addWidget(new QLabel(q("密")), row, 0);
  grid->addWidget(password_, row, 1);
  grid->addWidget(show_password_, row, 2);
  ++row;
  grid->addWidget(new QLabel(q("验")), row, 0);
  grid->addWidget(captcha_, row, 1);
  grid->addWidget(captcha_button_, row, 2);
  ++row;
  grid->addWidget(login_button_, row, 1);
  grid->addWidget(menu_list_, row, 2);
  grid->setColumnStretch(1, 1);
  return group;
}

QWidget* MainWindow::build_address_bar() {
  auto* bar = new QWidget;
  auto* grid = new QGridLayout(bar);
  grid->setContentsMargins(0, 0, 0, 0);

  address_ = make_box(q("网页地址:"), "address");
  connect(address_, &QLineEdit::returnPressed, this, &MainWindow::go);
  auto* go_button = make_button(q("跳转(Enter)"), "go_button");
  connect(go_button, &QPushButton::clicked, this, &MainWindow::go);

  history_list_ = new QComboBox;
  history_list_->setObjectName(QStringLiteral("history_list"));
  history_list_->setAccessibleName(q("历史地址"));
  // Long histories: no width scan over all items, uniform rows in the popup.
  history_list_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  history_list_->setMinimumContentsLength(20);
  if (auto* view = qobject_cast<QListView*>(history_list_->view())) view->setUniformItemSizes(true);
  connect(history_list_, &QComboBox::activated, this, &MainWindow::history_selected);

  auto* refresh = make_button(q("刷新"), "refresh_button");
  connect(refresh, &QPushButton::clicked, this, &MainWindow::refresh);
  auto* back = new QPushButton;
  back->setObjectName(QStringLiteral("back_button"));
  back->setAccessibleName(q("后退"));
  back->setToolTip(q("后退"));
  back->setIcon(style()->standardIcon(QStyle::SP_ArrowBack));
  back->setAutoDefault(false);
  connect(back, &QPushButton::clicked, this, &MainWindow::go_back);
  auto* forward = new QPushButton;
  forward->setObjectName(QStringLiteral("forward_button"));
  forward->setAccessibleName(q("前进"));
  forward->setToolTip(q("前进"));
  forward->setIcon(style()->standardIcon(QStyle::SP_ArrowForward));
  forward->setAutoDefault(false);
  connect(forward, &QPushButton::clicked, this, &MainWindow::go_forward);
  auto* home = make_button(q("主页"), "home_button");
  connect(home, &QPushButton::clicked, this, &MainWindow::go_maker_home);
  auto* back_home = make_button(q("返回主页"), "backoffice_home_button");
  connect(back_home, &QPushButton::clicked, this, &MainWindow::go_backoffice_home);
  auto* clear = make_button(q("清空"), "clear_button");
  connect(clear, &QPushButton::clicked, this, &MainWindow::clear_history);

  grid->addWidget(new QLabel(q("网页地址:")), 0, 0);
  grid->addWidget(address_, 0, 1, 1, 5);
  grid->addWidget(go_button, 0, 6);
  grid->addWidget(history_list_, 1, 0, 1, 7);
  grid->addWidget(back, 2, 0);
  grid->addWidget(forward, 2, 1);
  grid->addWidget(refresh, 2, 2);
  grid->addWidget(home, 2, 3);
  grid->addWidget(back_home, 2, 4);
  grid->addWidget(clear, 2, 5);
  grid->setColumnStretch(1, 1);
  return bar;
}

QWidget* MainWindow::build_tool_groups() {
  auto* box = new QWidget;
  auto* column = new QVBoxLayout(box);
  column->setContentsMargins(0, 0, 0, 0);

  auto add_group = [&](const QString& caption) {
    auto* group = new QGroupBox(caption);
    auto* grid = new QGridLayout(group);
    column->addWidget(group);
    return grid;
  };
  auto place = [](QGridLayout* grid, QPushButton* b) {
    int n = grid->count();
    grid->addWidget(b, n / 3, n % 3);
  };
  // A tool button: enabled only when its tool is part of this build.
  auto tool = [&](QGridLayout* grid, const char* caption, std::function<void()> open) {
    QPushButton* b = make_button(q(caption));
    b->setEnabled(static_cast<bool>(open));
    if (open) connect(b, &QPushButton::clicked, this, [open] { open(); });
    place(grid, b);
    return b;
  };
  std::function<void()> none;

  QGridLayout* assist = add_group(q("平台辅助功能"));
  std::function<void()> publishing = none;
#ifdef TESSARO_HAVE_TOOL_PUBLISHING
  publishing = [this] { tools::publishing::open_publishing(*this); };
#endif
  tool(assist, "自动上架商品", publishing);
  std::function<void()> templates = none;
#ifdef TESSARO_HAVE_TOOL_TEMPLATES
  templates = [this] { tools::templates::open_templates(*this); };
#endif
  tool(assist, "[完美]设类型模版", templates);
  std::function<void()> pricing = none;
#ifdef TESSARO_HAVE_TOOL_PRICING
  pricing = [this] { tools::pricing::open_pricing(*this); };
#endif
  tool(assist, "自动库存+定价", pricing);
  // The three status buttons: their captions change during a run, so they carry no
  // fixed accessible name.
  for (int i = 0; i < 3; ++i) {
    static const char* const captions[3] = {"销售全部商品", "暂停全部商品", "禁售全部商品"};
    std::function<void()> status = none;
#ifdef TESSARO_HAVE_TOOL_STATUS
    status = [this, i] { tools::status::run_bulk_status(*this, status_parts_, i); };
#endif
    status_parts_.buttons[static_cast<std::size_t>(i)] = tool(assist, captions[i], status);
    status_parts_.buttons[static_cast<std::size_t>(i)]->setAccessibleName(QString());
  }
  std::function<void()> stock = none;
#ifdef TESSARO_HAVE_TOOL_STOCK
  stock = [this] { tools::stock::open_stock_deletion(*this); };
#endif
  tool(assist, "删除卡密库存", stock);
  std::function<void()> complaints = none;
#ifdef TESSARO_HAVE_TOOL_COMPLAINTS
  complaints = [this] { tools::complaints::open_complaints(*this, complaints_button_); };
#endif
  complaints_button_ = tool(assist, "投诉批量处理", complaints);
  std::function<void()> orders = none;
#ifdef TESSARO_HAVE_TOOL_ORDERS
  orders = [this] { tools::orders::open_orders(*this); };
#endif
  tool(assist, "订单自动处理", orders);

  QGridLayout* supplier = add_group(q("供货商及站长功能"));
  std::function<void()> registration = none;
#ifdef TESSARO_HAVE_TOOL_SUBACCOUNTS
  registration = [this] { tools::subaccounts::open_registration(*this); };
#endif
  tool(supplier, "[hot]批量注册", registration);
  std::function<void()> cards = none;
#ifdef TESSARO_HAVE_TOOL_CARDS
  cards = [this] { tools::cards::open_cards(*this); };
#endif
  tool(supplier, "[完美]批量导卡", cards);
  std::function<void()> names = none;
#ifdef TESSARO_HAVE_TOOL_NAMES
  names = [this] { tools::names::open_names_editor(*this); };
#endif
  tool(supplier, "商品名字批量编辑", names);
  std::function<void()> submission = none;
#ifdef TESSARO_HAVE_TOOL_SUBMISSION
  submission = [this] { tools::submission::open_submission(*this); };
#endif
  tool(supplier, "卡盟收录提交", submission);
  tool(supplier, "代理资料导出", [this] { export_agent_data(); });

  QGridLayout* other1 = add_group(q("其他功能"));
  for (const char* caption : {"获取永硕E盘目录", "迅雷会员", "说说秒赞"}) {
    tool(other1, caption, [this] {
      platform::show_message(this, q("该工具不包含在本版本中。"));
    });
  }
  QGridLayout* other2 = add_group(q("其他功能"));
  for (int i = 0; i < 5; ++i) {
    tool(other2, "等待建议", [this] { platform::show_message(this, q("需要新功能欢迎联系我哦！")); });
  }
  return box;
}

void MainWindow::build_menu_bar() {
  QMenu* advice = menuBar()->addMenu(q("建议"));
  QAction* feedback = advice->addAction(q("意见"));
  feedback->setObjectName(QStringLiteral("feedback_action"));
  connect(feedback, &QAction::triggered, this, [this] { open_maker_page(kFeedbackPath); });
  QMenu* tutorial = menuBar()->addMenu(q("教程"));
  QAction* help = tutorial->addAction(q("相关教程"));
  help->setObjectName(QStringLiteral("help_action"));
  connect(help, &QAction::triggered, this, [this] { open_maker_page(kHelpPath); });
  // Both open pages of the maker's site.
  feedback->setEnabled(!maker_site_.empty());
  help->setEnabled(!maker_site_.empty());
  QMenu* records = menuBar()->addMenu(q("记录"));
#ifdef TESSARO_HAVE_TOOL_JOURNAL
  QAction* journal = records->addAction(q("运行记录"));
  journal->setObjectName(QStringLiteral("journal_action"));
  connect(journal, &QAction::triggered, this, [this] { tools::journal::open_journal_viewer(*this); });
  records->addSeparator();
#endif
  // Where the files are: shown, and opened in the file manager.
  QAction* where = records->addAction(q("数据目录：") + QString::fromStdString(data_dir_));
  where->setObjectName(QStringLiteral("data_dir_caption"));
  where->setEnabled(false);
  QAction* open_dir = records->addAction(q("打开数据目录"));
  open_dir->setObjectName(QStringLiteral("open_data_dir_action"));
  connect(open_dir, &QAction::triggered, this, &MainWindow::open_data_dir);
  QMenu* setup = menuBar()->addMenu(q("设置"));
  fast_mode_ = setup->addAction(q("快速模式（按平台应答节奏）"));
  fast_mode_->setObjectName(QStringLiteral("fast_mode_action"));
  fast_mode_->setCheckable(true);
  connect(fast_mode_, &QAction::toggled, this, &MainWindow::set_fast_mode);
}

void MainWindow::set_fast_mode(bool on) {
  tools::RunMode::set_fast(on);
  if (!values_loaded_) return;
  const std::string file = settings::data_path(data_dir_, settings::kConfigure);
  if (!settings::write_key(file, gbk(kKeyFastModeUtf8), on ? "1" : "0"))
    platform::show_message(this, q("快速模式的设置无法保存到 ") + QString::fromStdString(file), platform::kTitleHint);
}

void MainWindow::open_data_dir() {
  settings::make_data_dir(data_dir_);
  QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(data_dir_)));
}

void MainWindow::open_maker_page(const char* path) {
  std::string address = maker_page(maker_site_, path);
  if (address.empty()) return;
  QDesktopServices::openUrl(QUrl(platform::from_gbk(address)));
}

// ---------------------------------------------------------------------------------
// Start-up

bool MainWindow::start_up() {
  // 1. Title.
  setWindowTitle(app::main_title());
  // 2. Data directory (failure ignored).
  settings::make_data_dir(data_dir_);
  // 3. Never from a temporary folder.
  if (refused_exe_dir(exe_dir_)) {
    platform::show_message(this, q("请先解压该软件!"), platform::kTitleHint, QMessageBox::Information);
    save_timer_->stop();
    end_process(0);
    return false;
  }
  // 4. Browser window (no owner, not modal); it opens the home page.
  browser_window_ = new BrowserWindow([this] { return windowTitle(); }, data_dir_);
  browser_window_->move(x() + frameGeometry().width() + 10, y());
  browser_window_->show();
  browser_window_->view()->navigate(home_page_address(maker_site_));
#ifdef TESSARO_HAVE_MAKER_NOTICE
  // 5.-7. Maker's notice: connection check, friend link.
  if (!maker_site_.empty()) {
    if (!notice_reachable(maker_site_)) connection_error_and_exit(this);
    FriendLink link = read_friend_link(maker_site_);
    friend_link_address_ = link.address;
    friend_link_->setText(platform::from_gbk(link.title));
  }
#endif
  // 8. Saved login values (a missing key empties the box).
  {
    const std::string file = settings::data_path(data_dir_, settings::kConfigure);
    password_->setText(platform::from_gbk(settings::read_key(file, gbk(kKeyPasswordUtf8))));
    account_->setText(platform::from_gbk(settings::read_key(file, gbk(kKeyAccountUtf8))));
    address_->setText(platform::from_gbk(settings::read_key(file, gbk(kKeyAddressUtf8))));
    if (fast_mode_) fast_mode_->setChecked(settings::read_key(file, gbk(kKeyFastModeUtf8)) == "1");
    values_loaded_ = true;
  }
  // 9. Address history (records the address now in the box).
  load_history();
  // 10. Tab: an application-level handler that acts only while this window is active.
  qApp->installEventFilter(this);
  tab_handler_installed_ = true;
  // 11. Start-up binding of the page automation.
  pages_->bind_at_startup(browser_window_->view());
  // 12. Confirmer of the browser's web message boxes.
  page::confirm_web_dialogs(browser_window_->view(), platform::kWebMessageTitle, platform::kOkCaption,
                            false, 500);
#ifdef TESSARO_HAVE_MAKER_NOTICE
  // 13. Letter prompt.
  if (!maker_site_.empty()) letter_prompt(this, platform::from_gbk(maker_page(maker_site_, kLetterPath)));
#endif
  return true;
}

// ---------------------------------------------------------------------------------
// ToolContext

QString MainWindow::main_title() const { return windowTitle(); }

std::string MainWindow::address_text() const { return platform::to_gbk(address_->text()); }

void MainWindow::set_address_text(const std::string& text) { address_->setText(platform::from_gbk(text)); }

BrowserWindow* MainWindow::browser_window() const { return browser_window_.data(); }

platform::BrowserView* MainWindow::main_browser() {
  return browser_window_ ? browser_window_->view() : nullptr;
}

// ---------------------------------------------------------------------------------
// Login and captcha

void MainWindow::login() {
  platform::BrowserView* browser = main_browser();
  if (!browser) return;
  page::LivePage& live = pages_->live(page::PageObjects::kLiveMain);
  page::PageSnapshot& snap = pages_->snapshot(page::PageObjects::kLogin);
  // The page the form is filled on must be completely loaded. Read before the clicks:
  // the engine reports the navigation a click starts at once, so a reading after the
  // clicks would always stop a successful login.
  const bool loaded = browser->ready_state() == 4;
  live.attach_live_page(browser);
  snap.attach_page(browser);
  live.live_set_input_text("UserName", platform::to_gbk(account_->text()));
  live.live_set_input_text("Password2", platform::to_gbk(password_->text()));
  const std::string code = platform::to_gbk(captcha_->text());
  for (int t = 1; t <= 4; ++t) live.live_set_input_text("Theme" + std::to_string(t) + "$txtCheckCode", code);
  for (int t = 1; t <= 4; ++t) snap.click_button("Theme" + std::to_string(t) + "$btnLogin");
  snap.click_button("inside");
  if (!loaded) return;
  QPointer<MainWindow> self(this);
  platform::wait_responsive(3000);
  if (!self || !browser_window_) return;
  live.attach_live_page(browser);
  const std::string html = live.get_document_html();
  QGuiApplication::clipboard()->setText(platform::from_gbk(html));
  account_panel_->setText(platform::from_gbk(account_panel_text(read_account_details(html))));
}

void MainWindow::show_captcha() {
  platform::BrowserView* browser = main_browser();
  if (!browser) return;
  const std::string key = address_text() + "/Handler.ashx";
  page::LivePage& live = pages_->live(page::PageObjects::kLiveMain);
  live.attach_live_page(browser);
  const std::string bytes = live.get_image_element_bytes(key, 0);
  QPixmap picture;
  if (!bytes.empty())
    picture.loadFromData(reinterpret_cast<const uchar*>(bytes.data()), static_cast<uint>(bytes.size()));
  captcha_button_->setIcon(QIcon(picture));
  if (!picture.isNull()) captcha_button_->setIconSize(picture.size());
  captcha_button_->setText(QString());
  login_button_->setEnabled(true);
}

void MainWindow::periodic_save() {
  if (!values_loaded_) return;
  static const std::string password_key = gbk(kKeyPasswordUtf8), account_key = gbk(kKeyAccountUtf8),
                           check_key = gbk(kKeyCheck1Utf8), address_key = gbk(kKeyAddressUtf8),
                           ticked = gbk("真");
  // One atomic write of the four keys, and none while nothing changed.
  saver_.save(settings::data_path(data_dir_, settings::kConfigure),
              {{password_key, platform::to_gbk(password_->text())},
               {account_key, platform::to_gbk(account_->text())},
               {check_key, ticked},
               {address_key, address_text()}});
}

bool MainWindow::focus_cycle() {
  QWidget* f = QApplication::focusWidget();
  QWidget* next = nullptr;
  if (f == password_) next = account_;
  else if (f == account_) next = captcha_;
  else if (f == captcha_) next = address_;
  else if (f == address_) next = password_;
  if (!next) return false;
  next->setFocus(Qt::TabFocusReason);
  return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    if (watched == captcha_button_ && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
      login();
      return true;
    }
    if (tab_handler_installed_ && key->key() == Qt::Key_Tab && key->modifiers() == Qt::NoModifier &&
        QApplication::activeWindow() == this && watched == QApplication::focusWidget()) {
      if (focus_cycle()) return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  save_timer_->stop();
  periodic_save();
  // Runs still open end with the application (before their windows do).
  tools::journal::end_open_runs();
  // The process ends at once: every open tool window keeps what it keeps on its own close.
  tools::ToolWindow::shut_down_all();
  end_process(0);
}

// ---------------------------------------------------------------------------------
// Address bar

void MainWindow::go() {
  set_address_text(tools::platform_root(address_text()));
  if (auto* b = main_browser()) b->navigate(address_->text());
  load_history();
}

void MainWindow::load_history() {
  const std::vector<std::string> items =
      load_address_history(settings::data_path(data_dir_, settings::kWebHistory), address_text());
  QStringList list;
  list.reserve(static_cast<qsizetype>(items.size()));
  for (const std::string& item : items) list.append(platform::from_gbk(item));
  history_list_->clear();
  history_list_->addItems(list);
}

void MainWindow::history_selected(int index) {
  if (index < 0 || index >= history_list_->count()) return;
  address_->setText(history_list_->itemText(index));
  go();
}

void MainWindow::refresh() {
  if (auto* b = main_browser()) b->navigate(b->current_address());
}

void MainWindow::go_back() {
  if (auto* b = main_browser()) b->go_back();
}

void MainWindow::go_forward() {
  if (auto* b = main_browser()) b->go_forward();
}

void MainWindow::go_maker_home() {
  if (auto* b = main_browser()) b->navigate(home_page_address(maker_site_));
}

void MainWindow::go_backoffice_home() {
  if (auto* b = main_browser()) b->navigate(platform::from_gbk(backoffice_address("/Index.aspx")));
}

void MainWindow::clear_history() {
  if (!platform::ask_yes_no(this, q("是否真正清空地址栏？"), platform::kTitleHint)) return;
  settings::delete_file(settings::data_path(data_dir_, settings::kWebHistory));
}

// ---------------------------------------------------------------------------------
// Section and menu lists

void MainWindow::run_page_script(const std::string& script_gbk) {
  platform::BrowserView* browser = main_browser();
  if (!browser) return;
  page::LivePage& live = pages_->live(page::PageObjects::kLiveMain);
  live.attach_live_page(browser);
  live.run_script(script_gbk, 0);
}

void MainWindow::section_selected(int index) {
  const auto& table = sections();
  if (index < 0 || index >= static_cast<int>(table.size())) return;
  menu_list_->clear();
  for (const MenuEntry& e : table[static_cast<std::size_t>(index)].entries) menu_list_->addItem(q(e.caption));
  run_page_script(objclick_script(gbk(table[static_cast<std::size_t>(index)].caption)));
  menu_list_->setCurrentIndex(0);  // selection without the menu action
}

void MainWindow::menu_selected(int) {
  const std::string link = menu_link_for(platform::to_gbk(menu_list_->currentText()));
  if (link.empty()) return;
  run_page_script(objclick_script(link));
}

// ---------------------------------------------------------------------------------
// Agent-data export program

void MainWindow::export_agent_data() {
  settings::make_data_dir(data_dir_);
  const QString path = QString::fromStdString(data_dir_) + QStringLiteral("/") +
                       QString::fromUtf8(kExportToolName);
  write_export_tool(path);
  platform::show_message(this, q("已经呼出软件，若无反应，请关闭杀毒软件。"));
  QProcess::startDetached(path, {});
}

}  // namespace app
